// The mirror soak: seeded random operator actions (input and output clicks in
// the three modes, Take, Cancel, mutes, levels, Clear All Routing, group
// edits, preset store and preview with Confirm or Cancel) run through the
// model's operations, and their lines go over TCP to the simulator. Every few
// actions a full read-back follows, and the program's own tables must equal
// the switcher's byte for byte.
//
// Spells of the switcher's fault modes come in between, one in every few
// read-back windows, their kind, length and details chosen by the seed:
//  - replies in pieces, some paced like a 57600 baud serial line;
//  - text before the SOH, within the 30 bytes it is searched in;
//  - slow answers, well inside the link's wait for each read;
//  - silence, from the spell's first action (its commands go unacknowledged)
//    or from one step of its read-back on (that query and the later ones fail
//    with their parse errors and messages);
//  - the connection closed in the middle of one reply of a read-back, a few
//    more actions with no link (their commands go nowhere), then a reconnect.
// Replies in pieces, after text or late must read as well as whole ones: the
// read-back that ends such a spell is compared like any other. After silence
// or a closed connection the program's tables may differ from the switcher's
// (commands went unanswered or nowhere, and the program does not roll back),
// so every spell ends with the fault cleared, the link back up and a
// read-back whose tables the program takes over as they are; the next
// compared read-back must find no divergence again. No exchange may wait
// longer than the link's own limits.
//
// A longer run: QVC_SOAK_OPERATIONS=200000 tests/soak/soak_tests (actions per
// model; QVC_SOAK_SEED changes the seed). Each model's run prints its actions
// per second and its divergences, then its spells and the faults they hit.
#include "link/DeviceLink.h"
#include "link/ReadBack.h"
#include "model/Audio.h"
#include "model/DeviceState.h"
#include "model/Grouping.h"
#include "model/Presets.h"
#include "model/Switching.h"
#include "protocol/Framing.h"
#include "protocol/StatusQueries.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SimPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace qvc::test {
namespace {

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    AddApplicationEnvironment<QCoreApplication>("soak_tests");

constexpr int kCheckEvery = 25;      // actions between two read-backs
constexpr int kSpellBlock = 5;       // read-back windows, one of which begins with a spell
constexpr std::size_t kHistory = 12; // actions shown with a divergence
// What a busy machine may add to one of the link's waits before it is too long.
constexpr qint64 kSlackMs = 1000;

int EnvInt(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

// The short test waits, without the pause before each query.
LinkTimings SoakTimings() {
    LinkTimings t = ShortTimings();
    t.tcpPauseMs = 0;
    return t;
}

// --------------------------------------------------------------- spells ---

enum class SpellKind { Pieces, Paced, TextBeforeSoh, Slow, Silent, Closed };
constexpr int kSpellKinds = 6;
constexpr std::array<const char*, kSpellKinds> kSpellNames = {"pieces", "paced",  "text",
                                                              "slow",   "silent", "closed"};

// Replies in pieces, after text or late still read whole.
bool Harmless(SpellKind kind) {
    return kind != SpellKind::Silent && kind != SpellKind::Closed;
}

constexpr int kSerialBaud = 57600;
// The fault starts with the spell's first action, not in its read-back.
constexpr int kFromFirstAction = -1;
// Framing around a payload: SOH, tag, CR, LF, '#'.
constexpr int kFrameBytes = 5;

struct Spell {
    SpellKind kind = SpellKind::Pieces;
    int before = 0;               // actions under the fault, before the spell's read-back
    int after = 0;                // actions after it (closed: with no link)
    int onset = kFromFirstAction; // silent, closed: the read-back step the fault starts at
    int chunk = 0;                // pieces, paced: bytes per piece
    int pauseMs = 0;              // pieces: pause between two pieces
    int text = 0;                 // text before SOH: its length
    int delayMs = 0;              // slow: the wait before each answer
    int cutAt = 0;                // closed: bytes of the cut reply that still come
};

// The steps of a read-back, as its progress dots count them before each
// step's query: 0 the status block, 1 to 5 the audio, output, committed
// output, preset and group tables, 6 to 10 the preset group images 1, 4, 8,
// 12 and 16.
constexpr int kReadBackSteps = 11;
constexpr int kImageStep = 6; // the first step of the preset group images

StatusQuery QueryOfStep(int step) {
    return static_cast<StatusQuery>(std::min(step, kImageStep));
}

// What a failed query shows: its parse error in the status bar (when it got
// no reply or a cut one), then a message (none for the status block: the
// read-back stops there).
struct StepTexts {
    QString parse;
    QString failure;
};
const QString kReadFailureTitle = "Norvak Dellby - QV Control :Error reading from Quorvel(s)";
const std::array<StepTexts, kImageStep + 1> kStepTexts = {{
    {"Error parsing MINFOQV message....", ""},
    {"Error parsing AINFOQB message....", "QV Control unable to read Audio Status. (NOTE: QV "
                                          "Control settings on Audio will be invalid)"},
    {"Error parsing OINFOQB message....", "QV Control unable to read Output Status. (NOTE: QV "
                                          "Control settings on Output will be invalid)"},
    {"Error parsing OINFOQB message....", "QV Control unable to read Prev Output Status. (NOTE: "
                                          "QV Control settings on Output will be invalid)"},
    {"Error parsing PINFOQV message....",
     "QV Control unable to read Preset Status. (NOTE: QV Control settings will be invalid)"},
    {"Error parsing GINFOQV message....", "QV Control unable to read Grouping Status. (NOTE: QV "
                                          "Control settings on Grouping will be invalid)"},
    {"Error parsing PGINFOQV message....", "QV Control unable to read Preset Group Status. "
                                           "(NOTE: QV Control settings will be invalid)"},
}};

// The window side of the link: records everything like RecordingHost and can
// start a fault at one step of a read-back, when the read-back shows its
// progress before that step's query.
class SpellHost : public RecordingHost {
  public:
    void SetInfoProgress(const QString& text) override {
        RecordingHost::SetInfoProgress(text);
        if (onset && text.size() == onsetStep) {
            const std::function<void()> start = std::move(onset);
            onset = nullptr;
            start();
        }
    }

    int onsetStep = -1;
    std::function<void()> onset;
};

// The program, its link and the switcher it drives.
class Rig {
  public:
    explicit Rig(int model) : peer_({.model = model, .demo = true, .tcp = true}) {
        host.linkState = &linkState;
        link = std::make_unique<DeviceLink>(linkState, host, prompts, SerialPortMap(),
                                            SoakTimings(), peer_->TcpPort());
    }

    // Connected and read, as after the start-up question.
    bool Connect() {
        if (link->TcpConnect("127.0.0.1") != DeviceLink::TcpOutcome::Probed) {
            return false;
        }
        return ReadBack(*link, state, host, prompts) == 1;
    }

    qvsim::SimThread& Sim() { return *peer_; }

    LinkState linkState;
    SpellHost host;
    ScriptedPrompts prompts; // any message fails the test
    std::unique_ptr<DeviceLink> link;
    DeviceState state;
    Switching switching{state};
    Grouping grouping{state};
    Presets presets{state, switching};

  private:
    SimPeer peer_;
};

// The bytes of a preset record that the program keeps as they were and the
// switcher fills in its own way: the taken marks of a stored route image (the
// program stores temporary routes with their marks, the switcher stores what
// the store's Take committed) and the input bytes (the switcher's levels).
bool SwitcherOwnedPresetByte(std::size_t index) {
    const std::size_t at = index % PresetTable::kRecord;
    if (at >= PresetTable::kInputBytes) {
        return true;
    }
    if (at < PresetTable::kRouteImage) {
        return false;
    }
    const std::size_t field = (at - PresetTable::kRouteImage) % OutputStatusTable::kRecord;
    return field == 2 || field == 3;
}

// The first differing byte of a table, if any.
template <std::size_t N>
void Compare(std::vector<std::string>& differences, const std::string& table,
             const std::array<std::uint8_t, N>& program,
             const std::array<std::uint8_t, N>& switcher, bool (*ignored)(std::size_t) = nullptr) {
    for (std::size_t i = 0; i < N; ++i) {
        if (program[i] != switcher[i] && (ignored == nullptr || !ignored(i))) {
            std::ostringstream text;
            text << table << " byte " << i << ": program " << int(program[i]) << ", switcher "
                 << int(switcher[i]);
            differences.push_back(text.str());
            return;
        }
    }
}

// One line per table in which the program's state differs from the switcher's.
std::vector<std::string> Differences(const DeviceState& mine, const DeviceState& seen) {
    std::vector<std::string> d;
    Compare(d, "status block", mine.status.bytes, seen.status.bytes);
    Compare(d, "outputs", mine.outputs.bytes, seen.outputs.bytes);
    Compare(d, "committed outputs", mine.prevOutputs.bytes, seen.prevOutputs.bytes);
    Compare(d, "levels", mine.levels.bytes, seen.levels.bytes);
    Compare(d, "groups", mine.groups.bytes, seen.groups.bytes);
    Compare(d, "presets", mine.presets.bytes, seen.presets.bytes, SwitcherOwnedPresetByte);
    for (int p = 0; p < kPresetCount; ++p) {
        const auto n = static_cast<std::size_t>(p);
        Compare(d, "preset groups " + std::to_string(p + 1), mine.presetGroups.images[n].bytes,
                seen.presetGroups.images[n].bytes);
    }
    return d;
}

// What the spells of one run did and met.
struct SpellFigures {
    std::array<int, kSpellKinds> spells{};
    int repliesReadWhole = 0;        // status replies read whole in pieces, after text or late
    int commandsAnswered = 0;        // commands acknowledged in pieces, after text or late
    int failedQueries = 0;           // status queries of a read-back that failed
    int parseErrors = 0;             // ... of them with no reply or a cut one
    int statusBlocks = 0;            // read-backs that stopped at the status block
    int unacknowledged = 0;          // commands whose exchange waited the whole read in vain
    int unacknowledgedAnswering = 0; // ... while the switcher was answering
    int withoutLink = 0;             // commands sent with the connection down (they go nowhere)
    int reconnects = 0;
    int outOfStep = 0; // tables unlike the switcher's at the read-backs that end spells
    qint64 longestCommandMs = 0;
    qint64 longestReadBackMs = 0;
    qint64 longestReconnectMs = 0;

    int Spells() const {
        int n = 0;
        for (const int s : spells) {
            n += s;
        }
        return n;
    }
};

class Soak {
  public:
    Soak(int model, unsigned seed) : rig_(model), random_(seed) {}

    bool Connect() { return rig_.Connect(); }

    // `count` actions with a read-back every kCheckEvery of them and at the
    // end. One window of every kSpellBlock begins with a spell.
    void Run(int count) {
        int spellWindow = -1;
        for (int window = 0, first = 1; first <= count; ++window, first += kCheckEvery) {
            const int room = std::min(kCheckEvery, count - first + 1);
            if (window % kSpellBlock == 0) {
                spellWindow = window + Pick(kSpellBlock);
            }
            int done = window == spellWindow ? RunSpell(room) : 0;
            for (; done < room; ++done) {
                Act();
            }
            Check();
        }
    }

    int actions = 0;
    int lines = 0;
    int checks = 0;
    std::vector<std::string> divergences;
    SpellFigures figures;

  private:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
    bool Chance(int percent) { return Pick(100) < percent; }

    bool AnyTemporary() const {
        const auto& out = rig_.state.outputs;
        for (int o = 0; o < rig_.switching.ShownOutputs(); ++o) {
            if (out.videoTaken(o) == 0 || out.audioTaken(o) == 0) {
                return true;
            }
        }
        return false;
    }

    int StoredPreset() {
        std::vector<int> stored;
        for (int p = 0; p < kPresetCount; ++p) {
            if (rig_.presets.PresetIsStored(p + 1)) {
                stored.push_back(p);
            }
        }
        return stored.empty()
                   ? -1
                   : stored[static_cast<std::size_t>(Pick(static_cast<int>(stored.size())))];
    }

    void Note(const std::string& text) {
        history_.push_back(text);
        if (history_.size() > kHistory) {
            history_.pop_front();
        }
    }

    void Send(const std::string& action, const Commands& commands) {
        std::ostringstream text;
        text << action << " ->";
        for (const Command& c : commands) {
            text << " [" << c.line << "]";
        }
        Note(text.str());
        for (const Command& c : commands) {
            Transmit(c);
        }
        lines += static_cast<int>(commands.size());
        ++actions;
    }

    // One command. Its exchange waits at most the link's read time; one that
    // waited all of it got no acknowledgement. With the connection down the
    // link drops the command.
    void Transmit(const Command& command) {
        if (!rig_.link->TcpActive()) {
            rig_.link->SendCommand(command);
            ++figures.withoutLink;
            return;
        }
        const int readMs = rig_.link->Timings().tcpReadMs;
        QElapsedTimer clock;
        clock.start();
        rig_.link->SendCommand(command);
        const qint64 ms = clock.elapsed();
        figures.longestCommandMs = std::max(figures.longestCommandMs, ms);
        EXPECT_LE(ms, readMs + kSlackMs) << "command " << command.line;
        if (ms >= readMs) {
            ++figures.unacknowledged;
            figures.unacknowledgedAnswering += silent_ ? 0 : 1;
        } else if (silent_) {
            ADD_FAILURE() << "the silent switcher acknowledged " << command.line;
        } else if (harmlessSpell_) {
            ++figures.commandsAnswered;
        }
    }

    // While a preview is on show the operator works the preset panel and the
    // Take, Cancel and Clear All Routing buttons.
    void ActDuringPreview() {
        auto& presets = rig_.presets;
        switch (Pick(4)) {
        case 0: {
            const int p = StoredPreset();
            Send("preview preset " + std::to_string(p + 1),
                 presets.RecallPreset(p, Presets::RecallMode::Preview));
            break;
        }
        case 1:
            Send("Take (confirm)", presets.ConfirmRecall());
            break;
        case 2:
            presets.CancelRecall();
            Send("Cancel (preview)", {});
            break;
        default: {
            presets.CancelRecall();
            Commands commands = rig_.switching.CancelPending();
            const Commands clear = rig_.switching.ClearAllRouting();
            commands.insert(commands.end(), clear.begin(), clear.end());
            Send("Clear All Routing (preview)", commands);
            break;
        }
        }
    }

    void Act() {
        if (rig_.presets.RecallPending()) {
            ActDuringPreview();
            return;
        }
        DeviceState& state = rig_.state;
        Switching& sw = rig_.switching;
        const int inputs = state.Inputs();
        const int outputs = sw.ShownOutputs();
        const int roll = Pick(100);
        if (roll < 15) {
            const int k = Pick(inputs);
            sw.SelectInput(k);
            Send("input " + std::to_string(k + 1), {});
        } else if (roll < 45) {
            const int o = Pick(outputs);
            const auto mode = static_cast<AvMode>(Pick(3));
            // A button the group rule disabled cannot be clicked.
            if (sw.SelectedInput() != NoInput && !sw.OutputEnabledFor(o, sw.SelectedInput())) {
                return;
            }
            Commands commands = sw.ToggleOutput(o, mode);
            const Commands group = sw.PropagateToGroup(o, mode);
            commands.insert(commands.end(), group.begin(), group.end());
            Send("output " + std::to_string(o + 1) + " mode " +
                     std::to_string(static_cast<int>(mode)),
                 commands);
        } else if (roll < 52) {
            Send("Take", sw.Take());
        } else if (roll < 59) {
            Send("Cancel", sw.CancelPending());
        } else if (roll < 65) {
            const int o = Pick(outputs);
            Send("mute " + std::to_string(o + 1), sw.SetOutputMute(o, state.outputs.muted(o) == 0));
        } else if (roll < 67) {
            Commands commands = sw.CancelPending();
            const Commands clear = sw.ClearAllRouting();
            commands.insert(commands.end(), clear.begin(), clear.end());
            Send("Clear All Routing", commands);
        } else if (roll < 73) {
            const int i = Pick(inputs);
            if (Chance(50)) {
                const int level = Pick(253);
                Send("level " + std::to_string(i + 1), SetAudioLevel(state, i, level));
            } else {
                const bool up = Chance(50);
                Send(std::string("spin ") + (up ? "up " : "down ") + std::to_string(i + 1),
                     SpinAudioLevel(state, i, LevelToDb(LevelOnScale(state.levels.level(i))), up));
            }
        } else if (roll < 90) {
            Group();
        } else if (roll < 95) {
            const int p = Pick(kPresetCount);
            Send("store preset " + std::to_string(p + 1), rig_.presets.StorePreset(p));
        } else {
            // A preview over temporary routes is left out: the preview keeps
            // the temporary inputs as the committed ones (the table a cancel
            // restores from), so a cancelled preview leaves the program's
            // committed routes unlike the switcher's until the next read.
            const int p = StoredPreset();
            if (p >= 0 && !AnyTemporary()) {
                Send("preview preset " + std::to_string(p + 1),
                     rig_.presets.RecallPreset(p, Presets::RecallMode::Preview));
            }
        }
    }

    void Group() {
        Grouping& grouping = rig_.grouping;
        const int g = Pick(std::max(grouping.GroupCount(), 1));
        const int roll = Pick(20);
        if (roll < 9) {
            const int o = Pick(grouping.OutputCount());
            Send("group " + std::to_string(g + 1) + " output " + std::to_string(o + 1),
                 grouping.ToggleGroupOutput(g, o));
        } else if (roll < 18) {
            const int k = Pick(grouping.InputCount());
            Send("group " + std::to_string(g + 1) + " input " + std::to_string(k + 1),
                 grouping.ToggleGroupInput(g, k).commands);
        } else if (roll < 19) {
            Send("remove group " + std::to_string(g + 1), grouping.RemoveGroup(g));
        } else {
            Send("remove all groups", grouping.RemoveAllGroups());
        }
    }

    // A read-back into `into`, which may wait at most the reply timer for
    // each query the switcher received.
    int TimedReadBack(DeviceState& into) {
        rig_.Sim().ClearReceivedLines();
        QElapsedTimer clock;
        clock.start();
        const int result = ReadBack(*rig_.link, into, rig_.host, rig_.prompts);
        const qint64 ms = clock.elapsed();
        queriesRead_ = static_cast<int>(rig_.Sim().ReceivedLines().size());
        figures.longestReadBackMs = std::max(figures.longestReadBackMs, ms);
        EXPECT_LE(ms, queriesRead_ * qint64{rig_.link->Timings().replyTimerMs} + kSlackMs)
            << queriesRead_ << " queries";
        return result;
    }

    void CancelPreview() {
        if (rig_.presets.RecallPending()) {
            rig_.presets.CancelRecall();
        }
    }

    // The read action's read-back (a preview on show is cancelled first),
    // compared with the program's tables and then taken over by them.
    void Check() {
        ++checks;
        CancelPreview();
        DeviceState seen;
        rig_.host.Clear();
        ASSERT_EQ(TimedReadBack(seen), 1);
        const std::vector<std::string> found = Differences(rig_.state, seen);
        for (const std::string& d : found) {
            std::ostringstream text;
            text << d << " after " << actions << " actions; last actions:";
            for (const std::string& h : history_) {
                text << "\n    " << h;
            }
            divergences.push_back(text.str());
        }
        if (!found.empty()) {
            history_.clear();
        }
        if (harmlessSpell_) {
            figures.repliesReadWhole += queriesRead_;
        }
        rig_.state = seen;
    }

    // After a spell: a read-back whose tables the program takes over as they
    // are; the tables that differed are counted, not reported.
    void Resync() {
        CancelPreview();
        DeviceState seen;
        rig_.host.Clear();
        ASSERT_EQ(TimedReadBack(seen), 1);
        figures.outOfStep += static_cast<int>(Differences(rig_.state, seen).size());
        rig_.state = seen;
    }

    SpellKind NextKind() {
        if (kinds_.empty()) {
            for (int k = 0; k < kSpellKinds; ++k) {
                kinds_.push_back(static_cast<SpellKind>(k));
            }
            for (std::size_t i = kinds_.size() - 1; i > 0; --i) {
                std::swap(kinds_[i],
                          kinds_[static_cast<std::size_t>(Pick(static_cast<int>(i) + 1))]);
            }
        }
        const SpellKind kind = kinds_.back();
        kinds_.pop_back();
        return kind;
    }

    // The whole reply to the query of a read-back step, without text before it.
    int ReplyLength(int step) const {
        const DeviceState& s = rig_.state;
        return ExpectedLength(QueryOfStep(step), s.model, s.status.ModelCode()) + kFrameBytes;
    }

    // A spell of at most `room` actions; every kind comes once in every
    // kSpellKinds spells.
    Spell Choose(int room) {
        Spell s;
        s.kind = NextKind();
        switch (s.kind) {
        case SpellKind::Pieces:
            // Tiny pieces go out back to back, larger ones with a pause, so
            // that the largest reply still comes well within the reply timer.
            s.chunk = 1 + Pick(48);
            s.pauseMs = s.chunk < 16 ? 0 : 1 + Pick(2);
            s.before = 1 + Pick(room);
            break;
        case SpellKind::Paced:
            // A serial converter's packets of 1 to 4 bytes.
            s.chunk = 1 + Pick(4);
            s.before = 1 + Pick(room);
            break;
        case SpellKind::TextBeforeSoh:
            s.text = 1 + Pick(static_cast<int>(kSohWindow) - 1); // the SOH at index 1 to 29
            s.before = 1 + Pick(room);
            break;
        case SpellKind::Slow:
            s.delayMs = 10 + Pick(51);
            s.before = 1 + Pick(room);
            break;
        case SpellKind::Silent:
            // A command to a silent switcher waits the link's whole read:
            // a silence from the first action lasts a few actions.
            if (Chance(40)) {
                s.before = 1 + Pick(std::min(3, room));
            } else {
                s.onset = Pick(kReadBackSteps);
                s.before = Pick(room + 1);
            }
            break;
        case SpellKind::Closed:
            s.onset = Pick(kReadBackSteps);
            s.cutAt = 1 + Pick(ReplyLength(s.onset) - 1);
            s.before = Pick(room + 1);
            s.after = Pick(room - s.before + 1);
            break;
        }
        return s;
    }

    static std::string Describe(const Spell& s) {
        std::ostringstream text;
        text << "spell (" << s.before + s.after << " actions): ";
        const std::string where = s.onset == kFromFirstAction
                                      ? "from the first action"
                                      : "from read-back step " + std::to_string(s.onset);
        switch (s.kind) {
        case SpellKind::Pieces:
            text << "replies in pieces of " << s.chunk << " bytes, " << s.pauseMs << " ms apart";
            break;
        case SpellKind::Paced:
            text << "replies paced at " << kSerialBaud << " baud in pieces of " << s.chunk
                 << " bytes";
            break;
        case SpellKind::TextBeforeSoh:
            text << s.text << " bytes of text before SOH";
            break;
        case SpellKind::Slow:
            text << "answers " << s.delayMs << " ms late";
            break;
        case SpellKind::Silent:
            text << "silent " << where;
            break;
        case SpellKind::Closed:
            text << "connection closed after " << s.cutAt
                 << " bytes of the reply at read-back step " << s.onset << ", " << s.after
                 << " actions with no link";
            break;
        }
        return text.str();
    }

    void StartFault(const Spell& s) {
        qvsim::SimThread& sim = rig_.Sim();
        switch (s.kind) {
        case SpellKind::Pieces:
            sim.SetChunk(s.chunk, s.pauseMs);
            break;
        case SpellKind::Paced:
            sim.SetChunk(s.chunk, 0);
            sim.SetBaud(kSerialBaud);
            break;
        case SpellKind::TextBeforeSoh:
            sim.SetTextBeforeSoh(s.text);
            break;
        case SpellKind::Slow:
            sim.SetReplyDelay(s.delayMs);
            break;
        case SpellKind::Silent:
            sim.SetSilent(true);
            silent_ = true;
            break;
        case SpellKind::Closed:
            sim.SetCloseAfter(s.cutAt);
            break;
        }
    }

    void ClearFaults() {
        qvsim::SimThread& sim = rig_.Sim();
        sim.SetChunk(0);
        sim.SetBaud(0);
        sim.SetTextBeforeSoh(0);
        sim.SetReplyDelay(0);
        sim.SetSilent(false);
        sim.SetCloseAfter(-1);
        silent_ = false;
    }

    // The read-back of a silent or closed spell, into the program's own
    // tables as the read action does. The fault is on from the query of
    // step `onset` (a silence may have begun earlier): that query fails, and
    // so does every later one. In silence each shows its parse error; after a
    // cut only the cut one does (the link is down for the rest). A failed
    // status block ends the read-back; a failed table shows its message and
    // the next one is read; a failed preset group image ends the images.
    void FailingReadBack(const Spell& s) {
        const int first = s.onset == kFromFirstAction ? 0 : s.onset;
        std::vector<int> failing; // indexes into kStepTexts
        if (first == 0) {
            failing.push_back(0);
        } else {
            for (int step = first; step < kImageStep; ++step) {
                failing.push_back(step);
            }
            failing.push_back(kImageStep);
        }
        std::vector<QString> parses;
        for (const int t : failing) {
            const StepTexts& texts = kStepTexts[static_cast<std::size_t>(t)];
            if (t > 0) {
                rig_.prompts.ExpectMessageWithTitle(kReadFailureTitle, texts.failure);
            }
            if (s.kind == SpellKind::Silent || parses.empty()) {
                parses.push_back(texts.parse);
            }
        }
        if (s.onset != kFromFirstAction) {
            rig_.host.onsetStep = s.onset;
            rig_.host.onset = [this, s] { StartFault(s); };
        }
        CancelPreview();
        rig_.host.Clear();
        const std::size_t promptsBefore = rig_.prompts.Records().size();
        const int result = TimedReadBack(rig_.state);
        EXPECT_FALSE(rig_.host.onset) << "the read-back did not reach step " << s.onset;
        rig_.host.onset = nullptr;
        EXPECT_EQ(result, first == 0 ? -1 : 1);
        EXPECT_EQ(rig_.host.statusTexts, parses);
        rig_.prompts.VerifyAllUsed();
        const int messages = static_cast<int>(rig_.prompts.Records().size() - promptsBefore);
        figures.failedQueries += messages + (result == -1 ? 1 : 0);
        figures.statusBlocks += result == -1 ? 1 : 0;
        figures.parseErrors += static_cast<int>(rig_.host.statusTexts.size());
    }

    void Reconnect() {
        const LinkTimings& t = rig_.link->Timings();
        QElapsedTimer clock;
        clock.start();
        const DeviceLink::TcpOutcome outcome = rig_.link->TcpConnect(QStringLiteral("127.0.0.1"));
        const qint64 ms = clock.elapsed();
        figures.longestReconnectMs = std::max(figures.longestReconnectMs, ms);
        EXPECT_EQ(outcome, DeviceLink::TcpOutcome::Probed);
        EXPECT_LE(ms, t.replyTimerMs + t.tcpReadMs + kSlackMs);
        ++figures.reconnects;
    }

    // A spell at the start of a window of `room` actions; returns the actions
    // it took. It ends with the fault cleared, the link up and the
    // switcher's tables taken over.
    int RunSpell(int room) {
        const Spell s = Choose(room);
        ++figures.spells[static_cast<std::size_t>(s.kind)];
        Note(Describe(s));
        harmlessSpell_ = Harmless(s.kind);
        if (s.onset == kFromFirstAction) {
            StartFault(s);
        }
        for (int i = 0; i < s.before; ++i) {
            Act();
        }
        if (harmlessSpell_) {
            Check();
        } else {
            FailingReadBack(s);
        }
        for (int i = 0; i < s.after; ++i) {
            Act();
        }
        harmlessSpell_ = false;
        ClearFaults();
        EXPECT_EQ(rig_.link->TcpActive(), s.kind != SpellKind::Closed)
            << "link after " << Describe(s);
        if (!rig_.link->TcpActive()) {
            Reconnect();
        }
        Resync();
        Note("spell over, tables read again");
        return s.before + s.after;
    }

    Rig rig_;
    std::mt19937 random_;
    std::deque<std::string> history_;
    std::vector<SpellKind> kinds_; // the kinds still to come in this round
    bool harmlessSpell_ = false;
    bool silent_ = false;
    int queriesRead_ = 0; // queries the switcher received in the last read-back
};

class MirrorSoak : public ::testing::TestWithParam<int> {};

TEST_P(MirrorSoak, TablesEqualTheSwitchersAfterEveryReadBack) {
    const int model = GetParam();
    const int count = EnvInt("QVC_SOAK_OPERATIONS", 750);
    const auto seed = static_cast<unsigned>(EnvInt("QVC_SOAK_SEED", 20240917) + model);
    Soak soak(model, seed);
    ASSERT_TRUE(soak.Connect());
    QElapsedTimer clock;
    clock.start();
    soak.Run(count);
    const double seconds = std::max<double>(static_cast<double>(clock.elapsed()), 1.0) / 1000.0;
    std::printf("soak model %d, seed %u: %d actions, %d lines, %d compared read-backs in %.1f s: "
                "%.0f actions/s, %zu divergences\n",
                model, seed, soak.actions, soak.lines, soak.checks, seconds, soak.actions / seconds,
                soak.divergences.size());
    const SpellFigures& f = soak.figures;
    std::printf("soak model %d spells: %d (", model, f.Spells());
    for (int k = 0; k < kSpellKinds; ++k) {
        const auto n = static_cast<std::size_t>(k);
        std::printf("%s%s %d", k == 0 ? "" : ", ", kSpellNames[n], f.spells[n]);
    }
    std::printf("); read whole in pieces, after text or late: %d replies, %d commands\n",
                f.repliesReadWhole, f.commandsAnswered);
    std::printf("soak model %d faults hit: %d failed queries (%d with a parse error, %d at the "
                "status block), %d unacknowledged commands, %d commands with no link, "
                "%d reconnects; %d tables out of step before the read-backs that end spells; "
                "longest waits: command %lld ms, read-back %lld ms, reconnect %lld ms; "
                "%zu divergences\n",
                model, f.failedQueries, f.parseErrors, f.statusBlocks, f.unacknowledged,
                f.withoutLink, f.reconnects, f.outOfStep,
                static_cast<long long>(f.longestCommandMs),
                static_cast<long long>(f.longestReadBackMs),
                static_cast<long long>(f.longestReconnectMs), soak.divergences.size());
    EXPECT_EQ(f.unacknowledgedAnswering, 0) << "commands went unacknowledged outside silence";
    for (const std::string& d : soak.divergences) {
        ADD_FAILURE() << d;
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, MirrorSoak, ::testing::Values(0, 1, 2, 3),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return "Model" + std::to_string(param.param);
                         });

// The revert of one output in front of the switcher: input 5 to outputs 1
// and 2, output 2 clicked again, then Take. Output 1 ends on input 5 there too.
TEST(MirrorExample, RevertOfOneOutputKeepsTheOthersOnTheSwitcher) {
    Rig rig(3);
    ASSERT_TRUE(rig.Connect());
    rig.Sim().ClearReceivedLines();
    Switching& sw = rig.switching;
    sw.SelectInput(4);
    for (const int o : {0, 1, 1}) {
        rig.link->SendCommands(sw.ToggleOutput(o, AvMode::AudioVideo));
    }
    rig.link->SendCommands(sw.Take());
    EXPECT_EQ(rig.Sim().ReceivedLines(),
              (Lines{"RTEMP 1 5 5", "RTEMP 2 5 5", "TAKE 0", "RTEMP 1 5 5", "TAKE 1"}));
    const qvsim::SimState sim = rig.Sim().State();
    EXPECT_EQ(sim.outputs[0], (qvsim::OutputEntry{4, 4, 1, 1, 0}));
    EXPECT_EQ(sim.committed[0], (qvsim::CommittedRoute{4, 4}));
    // Output 2 is back on the demo's committed route (video 2, audio 3).
    EXPECT_EQ(sim.outputs[1], (qvsim::OutputEntry{1, 2, 1, 1, 0}));
}

} // namespace
} // namespace qvc::test
