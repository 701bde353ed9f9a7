#include "Switcher.h"

#include "Encoder.h"

#include <charconv>
#include <optional>

namespace qvsim {

namespace {

constexpr long kKeepLayer = 101; // RTEMP: this layer keeps its input
constexpr long kNotGiven = 101;  // GADD/GDEL: this side is not named
constexpr long kAllGroups = 201; // GCLEAR: every group

struct QueryName {
    const char* word;
    Query query;
};
constexpr QueryName kQueries[] = {
    {"MINFOQV", Query::Minfoqv},   {"AINFOQV", Query::Ainfoqv}, {"OINFOQV", Query::Oinfoqv},
    {"OPINFOQV", Query::Opinfoqv}, {"PINFOQV", Query::Pinfoqv}, {"GINFOQV", Query::Ginfoqv},
    {"PGINFOQV", Query::Pginfoqv},
};

std::vector<std::string> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') {
            ++i;
        }
        if (i > start) {
            words.emplace_back(line.substr(start, i - start));
        }
    }
    return words;
}

// A decimal integer filling the whole word ("-1" allowed, "+1" or "1x" not).
bool ParseNumber(const std::string& word, long& value) {
    if (word.empty()) {
        return false;
    }
    const char* first = word.data();
    const char* last = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last;
}

bool InRange(long v, long lo, long hi) {
    return v >= lo && v <= hi;
}

std::uint8_t Byte(long v) {
    return static_cast<std::uint8_t>(v);
}
std::size_t Idx(long v) {
    return static_cast<std::size_t>(v);
}

} // namespace

const char* QueryWord(Query q) {
    return kQueries[static_cast<int>(q)].word;
}

Switcher::Switcher(const SimOptions& options)
    : firmwareGiven_(options.firmware.has_value()), factoryIp_(options.ip) {
    state_.modelCode = options.model;
    state_.audioPresent = options.audio;
    state_.firmware = options.firmware.value_or(kDefaultFirmware);
    state_.settings.ip = options.ip;
    savedSettings_ = state_.settings;
}

Answer Switcher::Handle(std::string_view line, bool payload) {
    Answer answer;
    const std::vector<std::string> words = SplitWords(line);
    if (words.empty()) {
        // A bare CR (or only blanks) is a probe.
        answer.kind = line.empty() ? Answer::Kind::Probe : Answer::Kind::Malformed;
        return answer;
    }
    const std::string& word = words[0];
    const std::vector<std::string> tokens(words.begin() + 1, words.end());

    for (const QueryName& q : kQueries) {
        if (word != q.word) {
            continue;
        }
        long n = 0;
        if (q.query == Query::Pginfoqv) {
            if (tokens.size() != 1 || !ParseNumber(tokens[0], n) || !InRange(n, 0, 15)) {
                return answer;
            }
        } else if (!tokens.empty()) {
            return answer;
        }
        answer.kind = Answer::Kind::Status;
        answer.query = q.query;
        if (payload) {
            answer.payload = Payload(q.query, static_cast<int>(n));
        }
        return answer;
    }

    std::vector<long> args;
    for (const std::string& t : tokens) {
        long v = 0;
        if (!ParseNumber(t, v)) {
            if (word == "RESETQV") {
                break; // RESETQV takes a letter
            }
            return answer;
        }
        args.push_back(v);
    }
    answer.kind = Apply(word, args, tokens) ? Answer::Kind::Prompt : Answer::Kind::Malformed;
    return answer;
}

std::vector<std::uint8_t> Switcher::Payload(Query q, int presetGroup) const {
    switch (q) {
    case Query::Minfoqv:
        return EncodeStatusBlock(state_);
    case Query::Ainfoqv:
        return EncodeLevels(state_);
    case Query::Oinfoqv:
        return EncodeOutputs(state_);
    case Query::Opinfoqv:
        return EncodeCommitted(state_);
    case Query::Pinfoqv:
        return EncodePresets(state_);
    case Query::Ginfoqv:
        return EncodeGroups(state_.groups, state_.LargeForm());
    case Query::Pginfoqv:
        return EncodeGroups(state_.presets[static_cast<std::size_t>(presetGroup)].groups,
                            state_.LargeForm());
    }
    return {};
}

// Applies one write command; false (and nothing changed) when it is unknown
// or its arguments are wrong for this model.
bool Switcher::Apply(const std::string& word, const std::vector<long>& a,
                     const std::vector<std::string>& tokens) {
    if (const auto applied = ApplyRouting(word, a)) {
        return *applied;
    }
    if (const auto applied = ApplySettings(word, a, tokens)) {
        return *applied;
    }
    if (const auto applied = ApplyPresetsAndGroups(word, a)) {
        return *applied;
    }
    return false;
}

// RTEMP, TAKE, CLEAR, OMUTE; nothing when `word` is none of them.
std::optional<bool> Switcher::ApplyRouting(const std::string& word, const std::vector<long>& a) {
    const long inputs = state_.InputCount();
    const long outputs = state_.OutputCount();
    const auto argc = a.size();
    const auto inputArg = [&](long v) { return InRange(v, 0, inputs) || v == kKeepLayer; };

    if (word == "RTEMP") {
        if (argc != 3 || !InRange(a[0], 1, outputs) || !inputArg(a[1]) || !inputArg(a[2])) {
            return false;
        }
        return Rtemp(a[0] - 1, a[1], a[2]);
    }
    if (word == "TAKE") {
        if (argc != 1 || !InRange(a[0], 0, 1)) {
            return false;
        }
        Take(a[0] == 1);
        return true;
    }
    if (word == "CLEAR") {
        if (argc != 0) {
            return false;
        }
        Clear();
        return true;
    }
    if (word == "OMUTE") {
        if (argc != 2 || !InRange(a[0], 1, outputs) || !InRange(a[1], 0, 1)) {
            return false;
        }
        state_.outputs[Idx(a[0] - 1)].muted = Byte(a[1]);
        return true;
    }
    return std::nullopt;
}

// ALVL, FPLOCK, SWITCH, FDLY, IPCONFIG, RESETQV; nothing when `word` is none of them.
std::optional<bool> Switcher::ApplySettings(const std::string& word, const std::vector<long>& a,
                                            const std::vector<std::string>& tokens) {
    const long inputs = state_.InputCount();
    const auto argc = a.size();

    if (word == "ALVL") {
        if (argc != 2 || !InRange(a[0], 1, inputs) || !InRange(a[1], 0, 252)) {
            return false;
        }
        state_.levels[Idx(a[0] - 1)] = Byte(a[1]);
        return true;
    }
    if (word == "FPLOCK") {
        if (argc != 1 || !InRange(a[0], 0, 1)) {
            return false;
        }
        state_.settings.frontPanelLock = Byte(a[0]);
        return true;
    }
    if (word == "SWITCH") {
        if (argc != 1 || !InRange(a[0], 0, 3)) {
            return false;
        }
        state_.settings.videoSwitchSource = static_cast<std::int8_t>(a[0]);
        return true;
    }
    if (word == "FDLY") {
        if (argc != 1 || !InRange(a[0], 0, 4000)) {
            return false;
        }
        state_.settings.rgbDelay = static_cast<std::int16_t>(a[0]);
        return true;
    }
    if (word == "IPCONFIG") {
        if (argc != 4) {
            return false;
        }
        for (long part : a) {
            if (!InRange(part, 0, 255)) {
                return false;
            }
        }
        for (std::size_t i = 0; i < 4; ++i) {
            state_.settings.ip[i] = Byte(a[i]);
        }
        return true;
    }
    if (word == "RESETQV") {
        return tokens.size() == 1 && Reset(tokens[0]);
    }
    return std::nullopt;
}

// PRST, RPRST, GADD, GDEL, GCLEAR; nothing when `word` is none of them.
std::optional<bool> Switcher::ApplyPresetsAndGroups(const std::string& word,
                                                    const std::vector<long>& a) {
    const long inputs = state_.InputCount();
    const long outputs = state_.OutputCount();
    const auto argc = a.size();
    const auto memberArg = [&](long v, long count) {
        return InRange(v, 1, count) || v == kNotGiven;
    };

    if (word == "PRST") {
        if (argc != 1 || !InRange(a[0], 1, kPresetCount)) {
            return false;
        }
        StorePreset(static_cast<int>(a[0] - 1));
        return true;
    }
    if (word == "RPRST") {
        // The second argument (1 confirmed, 0 sequencer) makes no difference here.
        if (argc != 2 || !InRange(a[0], 1, kPresetCount)) {
            return false;
        }
        RecallPreset(static_cast<int>(a[0] - 1));
        return true;
    }
    if (word == "GADD" || word == "GDEL") {
        if (argc != 3 || !InRange(a[0], 1, outputs) || !memberArg(a[1], outputs) ||
            !memberArg(a[2], inputs) || (a[1] == kNotGiven && a[2] == kNotGiven)) {
            return false;
        }
        const int g = static_cast<int>(a[0] - 1);
        const long o = a[1] == kNotGiven ? -1 : a[1] - 1;
        const long i = a[2] == kNotGiven ? -1 : a[2] - 1;
        return word == "GADD" ? GroupAdd(g, o, i) : GroupDel(g, o, i);
    }
    if (word == "GCLEAR") {
        if (argc != 1 || !(InRange(a[0], 1, outputs) || a[0] == kAllGroups)) {
            return false;
        }
        if (a[0] == kAllGroups) {
            for (int g = 0; g < kMaxOutputs; ++g) {
                GroupClear(g);
            }
        } else {
            GroupClear(static_cast<int>(a[0] - 1));
        }
        return true;
    }
    return std::nullopt;
}

// RESETQV R is a restart: temporary routes are lost and the saved settings
// return. RESETQV F is the factory reset.
bool Switcher::Reset(const std::string& kind) {
    if (kind == "R") {
        Take(false);
        state_.settings = savedSettings_;
        return true;
    }
    if (kind == "F") {
        FactoryReset();
        return true;
    }
    return false;
}

bool Switcher::Rtemp(long o, long v, long a) {
    OutputEntry& e = state_.outputs[Idx(o)];
    if (v != kKeepLayer) {
        e.videoInput = v == 0 ? kNoInput : Byte(v - 1);
        e.videoTaken = 0;
    }
    if (a != kKeepLayer) {
        e.audioInput = a == 0 ? kNoInput : Byte(a - 1);
        e.audioTaken = 0;
    }
    return true;
}

// TAKE 1 commits every temporary route; TAKE 0 drops them.
void Switcher::Take(bool commit) {
    for (int o = 0; o < state_.OutputCount(); ++o) {
        OutputEntry& e = state_.outputs[Idx(o)];
        CommittedRoute& c = state_.committed[Idx(o)];
        if (e.videoTaken == 0) {
            if (commit) {
                c.videoInput = e.videoInput;
            } else {
                e.videoInput = c.videoInput;
            }
            e.videoTaken = 1;
        }
        if (e.audioTaken == 0) {
            if (commit) {
                c.audioInput = e.audioInput;
            } else {
                e.audioInput = c.audioInput;
            }
            e.audioTaken = 1;
        }
    }
}

void Switcher::Clear() {
    for (int o = 0; o < state_.OutputCount(); ++o) {
        state_.outputs[Idx(o)] = OutputEntry{};
        state_.committed[Idx(o)] = CommittedRoute{};
    }
}

// The committed routes with their mutes, the levels and the grouping go into preset p.
void Switcher::StorePreset(int p) {
    for (PresetRecord& r : state_.presets) {
        r.lastStored = 0;
    }
    PresetRecord& r = state_.presets[Idx(p)];
    r.stored = 1;
    r.lastStored = 1;
    for (std::size_t o = 0; o < kMaxOutputs; ++o) {
        r.routes[o] = OutputEntry{state_.committed[o].videoInput, state_.committed[o].audioInput, 1,
                                  1, state_.outputs[o].muted};
    }
    r.inputBytes = state_.levels;
    r.groups = state_.groups;
}

void Switcher::RecallPreset(int p) {
    const PresetRecord& r = state_.presets[Idx(p)];
    if (r.stored == 0) {
        return;
    }
    for (int o = 0; o < state_.OutputCount(); ++o) {
        const OutputEntry& src = r.routes[Idx(o)];
        state_.outputs[Idx(o)] = OutputEntry{src.videoInput, src.audioInput, 1, 1, src.muted};
        state_.committed[Idx(o)] = CommittedRoute{src.videoInput, src.audioInput};
    }
    state_.groups = r.groups;
}

// Adds output o and/or input i (-1: not given) to group g. An output that is
// in another group stays there; an input joins only a group with an output.
bool Switcher::GroupAdd(int g, long o, long i) {
    GroupTable& t = state_.groups;
    const auto gi = Idx(g);
    if (o >= 0 && t.outputGroup[Idx(o)] == kNoGroup) {
        t.outputGroup[Idx(o)] = static_cast<std::uint8_t>(g);
        ++t.outputCount[gi];
        ++t.memberCount[gi];
    }
    if (i >= 0 && t.outputCount[gi] > 0 && t.inputMember[gi][Idx(i)] != g) {
        t.inputMember[gi][Idx(i)] = static_cast<std::uint8_t>(g);
        ++t.inputCount[gi];
        ++t.memberCount[gi];
    }
    return true;
}

// Removes input i and/or output o from group g; a group that loses its last
// output is removed with its inputs.
bool Switcher::GroupDel(int g, long o, long i) {
    GroupTable& t = state_.groups;
    const auto gi = Idx(g);
    if (i >= 0 && t.inputMember[gi][Idx(i)] == g) {
        t.inputMember[gi][Idx(i)] = kNoGroup;
        --t.inputCount[gi];
        --t.memberCount[gi];
    }
    if (o >= 0 && t.outputGroup[Idx(o)] == g) {
        t.outputGroup[Idx(o)] = kNoGroup;
        --t.outputCount[gi];
        --t.memberCount[gi];
        if (t.outputCount[gi] == 0) {
            GroupClear(g);
        }
    }
    return true;
}

void Switcher::GroupClear(int g) {
    GroupTable& t = state_.groups;
    const auto gi = Idx(g);
    t.memberCount[gi] = 0;
    t.outputCount[gi] = 0;
    t.inputCount[gi] = 0;
    t.inputMember[gi].fill(kNoGroup);
    for (std::uint8_t& og : t.outputGroup) {
        if (og == g) {
            og = kNoGroup;
        }
    }
}

void Switcher::FactoryReset() {
    SimState fresh;
    fresh.modelCode = state_.modelCode;
    fresh.audioPresent = state_.audioPresent;
    fresh.firmware = state_.firmware;
    fresh.settings.ip = factoryIp_;
    state_ = fresh;
}

void Switcher::SeedDemo() {
    SimState s;
    s.modelCode = state_.modelCode;
    s.audioPresent = state_.audioPresent;
    s.firmware = firmwareGiven_ ? state_.firmware : std::string(kDemoFirmware);
    s.settings.ip = state_.settings.ip;
    s.settings.videoSwitchSource = 2;
    s.settings.rgbDelay = 1500;

    const int inputs = s.InputCount();
    const int outputs = s.OutputCount();
    // Committed routes of the first outputs (video, audio); the rest follow a pattern.
    constexpr std::uint8_t kRoutes[8][2] = {
        {0, 0}, {1, 2}, {4, 4}, {11, 11}, {6, 6}, {7, 7}, {kNoInput, kNoInput}, {2, 2}};
    for (int o = 0; o < outputs; ++o) {
        std::uint8_t v = kNoInput;
        std::uint8_t a = kNoInput;
        if (o < 8) {
            v = kRoutes[o][0];
            a = kRoutes[o][1];
        } else if (o < outputs - 1) {
            v = static_cast<std::uint8_t>(o % inputs);
            a = v;
        }
        s.outputs[Idx(o)] = OutputEntry{v, a, 1, 1, 0};
        s.committed[Idx(o)] = CommittedRoute{v, a};
    }
    s.outputs[2].muted = 1;

    constexpr std::uint8_t kLevels[kMaxInputs] = {200, 180, 220, 252, 0,   150, 200, 210,
                                                  190, 230, 170, 200, 205, 160, 240, 200};
    for (std::size_t i = 0; i < kMaxInputs; ++i) {
        s.levels[i] = kLevels[i];
    }

    state_ = s;
    // Group 1: outputs 1 and 2 fed only by inputs 1 to 3; group 2: outputs 3 and 4.
    GroupAdd(0, 0, -1);
    GroupAdd(0, 1, -1);
    GroupAdd(0, -1, 0);
    GroupAdd(0, -1, 1);
    GroupAdd(0, -1, 2);
    GroupAdd(1, 2, -1);
    GroupAdd(1, 3, -1);
    StorePreset(0); // preset 1: the demo routing and grouping

    // Preset 2: input 1 everywhere, no groups.
    const SimState demo = state_;
    for (int o = 0; o < outputs; ++o) {
        state_.committed[Idx(o)] = CommittedRoute{0, 0};
        state_.outputs[Idx(o)] = OutputEntry{0, 0, 1, 1, 0};
    }
    state_.groups = GroupTable{};
    StorePreset(1);

    // Preset 5: input n to output n, group 1 with outputs 1 and 2 only.
    for (int o = 0; o < outputs; ++o) {
        const auto in = static_cast<std::uint8_t>(o % inputs);
        state_.committed[Idx(o)] = CommittedRoute{in, in};
        state_.outputs[Idx(o)] = OutputEntry{in, in, 1, 1, 0};
    }
    GroupAdd(0, 0, -1);
    GroupAdd(0, 1, -1);
    StorePreset(4);

    const auto presets = state_.presets;
    state_ = demo;
    state_.presets = presets;
    savedSettings_ = state_.settings;
}

} // namespace qvsim
