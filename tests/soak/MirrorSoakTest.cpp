// The mirror soak: seeded random operator actions (input and output clicks in
// the three modes, Take, Cancel, mutes, levels, Clear All Routing, group
// edits, preset store and preview with Confirm or Cancel) run through the
// model's operations, and their lines go over TCP to the simulator. Every few
// actions a full read-back follows, and the program's own tables must equal
// the switcher's byte for byte.
//
// A longer run: QVC_SOAK_OPERATIONS=200000 tests/soak/soak_tests (actions per
// model; QVC_SOAK_SEED changes the seed). Each model's run prints its actions
// per second and its divergences.
#include "link/DeviceLink.h"
#include "link/ReadBack.h"
#include "model/Audio.h"
#include "model/DeviceState.h"
#include "model/Grouping.h"
#include "model/Presets.h"
#include "model/Switching.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SimPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <deque>
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
constexpr std::size_t kHistory = 12; // actions shown with a divergence

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
    RecordingHost host;
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

class Soak {
  public:
    Soak(int model, unsigned seed) : rig_(model), random_(seed) {}

    bool Connect() { return rig_.Connect(); }

    // `count` actions with a read-back every kCheckEvery of them and at the end.
    void Run(int count) {
        for (int n = 1; n <= count; ++n) {
            Act();
            if (n % kCheckEvery == 0 || n == count) {
                Check();
            }
        }
    }

    int actions = 0;
    int lines = 0;
    int checks = 0;
    std::vector<std::string> divergences;

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

    void Send(const std::string& action, const Commands& commands) {
        std::ostringstream text;
        text << action << " ->";
        for (const Command& c : commands) {
            text << " [" << c.line << "]";
        }
        history_.push_back(text.str());
        if (history_.size() > kHistory) {
            history_.pop_front();
        }
        rig_.link->SendCommands(commands);
        lines += static_cast<int>(commands.size());
        ++actions;
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

    template <std::size_t N>
    void Compare(const char* table, const std::array<std::uint8_t, N>& program,
                 const std::array<std::uint8_t, N>& switcher,
                 bool (*ignored)(std::size_t) = nullptr) {
        for (std::size_t i = 0; i < N; ++i) {
            if (program[i] != switcher[i] && (ignored == nullptr || !ignored(i))) {
                std::ostringstream text;
                text << table << " byte " << i << ": program " << int(program[i]) << ", switcher "
                     << int(switcher[i]) << " after " << actions << " actions; last actions:";
                for (const std::string& h : history_) {
                    text << "\n    " << h;
                }
                divergences.push_back(text.str());
                return;
            }
        }
    }

    // The read action's read-back (a preview on show is cancelled first),
    // compared with the program's tables and then taken over by them.
    void Check() {
        ++checks;
        if (rig_.presets.RecallPending()) {
            rig_.presets.CancelRecall();
        }
        DeviceState seen;
        rig_.host.Clear();
        ASSERT_EQ(ReadBack(*rig_.link, seen, rig_.host, rig_.prompts), 1);
        const DeviceState& mine = rig_.state;
        const std::size_t before = divergences.size();
        Compare("status block", mine.status.bytes, seen.status.bytes);
        Compare("outputs", mine.outputs.bytes, seen.outputs.bytes);
        Compare("committed outputs", mine.prevOutputs.bytes, seen.prevOutputs.bytes);
        Compare("levels", mine.levels.bytes, seen.levels.bytes);
        Compare("groups", mine.groups.bytes, seen.groups.bytes);
        Compare("presets", mine.presets.bytes, seen.presets.bytes, SwitcherOwnedPresetByte);
        for (int p = 0; p < kPresetCount; ++p) {
            const auto n = static_cast<std::size_t>(p);
            Compare(("preset groups " + std::to_string(p + 1)).c_str(),
                    mine.presetGroups.images[n].bytes, seen.presetGroups.images[n].bytes);
        }
        if (divergences.size() > before) {
            history_.clear();
        }
        rig_.state = seen;
    }

    Rig rig_;
    std::mt19937 random_;
    std::deque<std::string> history_;
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
    std::printf("soak model %d, seed %u: %d actions, %d lines, %d read-backs in %.1f s: "
                "%.0f actions/s, %zu divergences\n",
                model, seed, soak.actions, soak.lines, soak.checks, seconds, soak.actions / seconds,
                soak.divergences.size());
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
