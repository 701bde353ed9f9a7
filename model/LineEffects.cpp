#include "LineEffects.h"

#include <charconv>
#include <string>
#include <vector>

namespace qvc {

namespace {

constexpr long kKeepLayer = 101; // RTEMP: the layer keeps its input
constexpr long kNotGiven = 101;  // GADD/GDEL: that side is not named
constexpr long kAllGroups = 201; // GCLEAR: every group

struct Parsed {
    std::string word;
    std::vector<long> args;
    std::vector<std::string> tokens;
    bool numbers = true; // every argument is a whole number
};

Parsed Parse(std::string_view line) {
    Parsed p;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ') {
            ++at;
        }
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) {
            const std::string_view word = line.substr(at, end - at);
            if (p.word.empty()) {
                p.word = std::string(word);
            } else {
                long value = 0;
                const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
                p.numbers = p.numbers && ec == std::errc() && ptr == word.data() + word.size();
                p.args.push_back(value);
                p.tokens.emplace_back(word);
            }
        }
        at = end;
    }
    return p;
}

bool In(long v, long low, long high) {
    return v >= low && v <= high;
}
std::uint8_t Byte(long v) {
    return static_cast<std::uint8_t>(v);
}

// TAKE 1 commits every temporary layer of the shown outputs; TAKE 0 drops it.
void Take(DeviceState& s, bool commit) {
    auto& out = s.outputs;
    auto& committed = s.prevOutputs;
    for (int o = 0; o < s.ShownOutputs(); ++o) {
        if (out.videoTaken(o) == 0) {
            if (commit) {
                committed.videoInput(o) = out.videoInput(o);
            } else {
                out.videoInput(o) = committed.videoInput(o);
            }
            out.videoTaken(o) = 1;
        }
        if (out.audioTaken(o) == 0) {
            if (commit) {
                committed.audioInput(o) = out.audioInput(o);
            } else {
                out.audioInput(o) = committed.audioInput(o);
            }
            out.audioTaken(o) = 1;
        }
    }
}

LineEffect Routing(DeviceState& s, const Parsed& p) {
    const long inputs = s.Inputs();
    const long outputs = s.ShownOutputs();
    const auto& a = p.args;
    auto& out = s.outputs;
    if (p.word == "RTEMP") {
        const auto layer = [&](long v) { return In(v, 0, inputs) || v == kKeepLayer; };
        if (a.size() != 3 || !In(a[0], 1, outputs) || !layer(a[1]) || !layer(a[2])) {
            return LineEffect::None;
        }
        const int o = static_cast<int>(a[0] - 1);
        if (a[1] != kKeepLayer) {
            out.videoInput(o) = a[1] == 0 ? NoInput : Byte(a[1] - 1);
            out.videoTaken(o) = 0;
        }
        if (a[2] != kKeepLayer) {
            out.audioInput(o) = a[2] == 0 ? NoInput : Byte(a[2] - 1);
            out.audioTaken(o) = 0;
        }
        return LineEffect::Applied;
    }
    if (p.word == "TAKE") {
        if (a.size() != 1 || !In(a[0], 0, 1)) {
            return LineEffect::None;
        }
        Take(s, a[0] == 1);
        return LineEffect::Applied;
    }
    if (p.word == "CLEAR") {
        if (!a.empty()) {
            return LineEffect::None;
        }
        for (int o = 0; o < outputs; ++o) {
            out.videoInput(o) = out.audioInput(o) = NoInput;
            out.videoTaken(o) = out.audioTaken(o) = 1;
            out.muted(o) = 0;
            s.prevOutputs.videoInput(o) = s.prevOutputs.audioInput(o) = NoInput;
        }
        return LineEffect::Applied;
    }
    if (p.word == "OMUTE") {
        if (a.size() != 2 || !In(a[0], 1, outputs) || !In(a[1], 0, 1)) {
            return LineEffect::None;
        }
        out.muted(static_cast<int>(a[0] - 1)) = Byte(a[1]);
        return LineEffect::Applied;
    }
    return LineEffect::None;
}

LineEffect Settings(DeviceState& s, const Parsed& p) {
    const auto& a = p.args;
    if (p.word == "ALVL") {
        if (a.size() != 2 || !In(a[0], 1, s.Inputs()) || !In(a[1], 0, 252)) {
            return LineEffect::None;
        }
        s.levels.level(static_cast<int>(a[0] - 1)) = Byte(a[1]);
        return LineEffect::Applied;
    }
    if (p.word == "FPLOCK" && a.size() == 1 && In(a[0], 0, 1)) {
        s.status.SetFrontPanelLock(Byte(a[0]));
        return LineEffect::Applied;
    }
    if (p.word == "SWITCH" && a.size() == 1 && In(a[0], 0, 3)) {
        s.status.SetVideoSwitchSource(static_cast<int>(a[0]));
        return LineEffect::Applied;
    }
    if (p.word == "FDLY" && a.size() == 1 && In(a[0], 0, 4000)) {
        s.status.SetRGBDelay(static_cast<int>(a[0]));
        return LineEffect::Applied;
    }
    if (p.word == "IPCONFIG" && a.size() == 4) {
        for (long part : a) {
            if (!In(part, 0, 255)) {
                return LineEffect::None;
            }
        }
        for (std::size_t i = 0; i < 4; ++i) {
            s.status.bytes[15 + i] = Byte(a[i]);
        }
        return LineEffect::Applied;
    }
    if (p.word == "RESETQV" && p.tokens.size() == 1 &&
        (p.tokens[0] == "R" || p.tokens[0] == "F")) {
        return LineEffect::ReadBackNeeded;
    }
    return LineEffect::None;
}

// Adds output o and/or input i (-1: not named) to group g: an output in
// another group stays there; an input joins only a group with an output.
void GroupAdd(GroupTable& t, int g, long o, long i) {
    if (o >= 0 && t.outputGroup(static_cast<int>(o)) == NoGroup) {
        t.outputGroup(static_cast<int>(o)) = Byte(g);
        t.setOutputCount(g, t.outputCount(g) + 1);
        t.setMemberCount(g, t.memberCount(g) + 1);
    }
    if (i >= 0 && t.outputCount(g) > 0 && t.inputMember(g, static_cast<int>(i)) != g) {
        t.inputMember(g, static_cast<int>(i)) = Byte(g);
        t.setInputCount(g, t.inputCount(g) + 1);
        t.setMemberCount(g, t.memberCount(g) + 1);
    }
}

void GroupClear(GroupTable& t, int g) {
    t.setMemberCount(g, 0);
    t.setOutputCount(g, 0);
    t.setInputCount(g, 0);
    for (int k = 0; k < kMaxInputs; ++k) {
        t.inputMember(g, k) = NoGroup;
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        if (t.outputGroup(o) == g) {
            t.outputGroup(o) = NoGroup;
        }
    }
}

// Removes input i and/or output o from group g; a group that loses its last
// output goes with its inputs.
void GroupDel(GroupTable& t, int g, long o, long i) {
    if (i >= 0 && t.inputMember(g, static_cast<int>(i)) == g) {
        t.inputMember(g, static_cast<int>(i)) = NoGroup;
        t.setInputCount(g, t.inputCount(g) - 1);
        t.setMemberCount(g, t.memberCount(g) - 1);
    }
    if (o >= 0 && t.outputGroup(static_cast<int>(o)) == g) {
        t.outputGroup(static_cast<int>(o)) = NoGroup;
        t.setOutputCount(g, t.outputCount(g) - 1);
        t.setMemberCount(g, t.memberCount(g) - 1);
        if (t.outputCount(g) == 0) {
            GroupClear(t, g);
        }
    }
}

// The committed routes with the mutes, the levels and the grouping.
void StorePreset(DeviceState& s, int p) {
    for (int n = 0; n < kPresetCount; ++n) {
        s.presets.lastStored(n) = 0;
    }
    s.presets.stored(p) = 1;
    s.presets.lastStored(p) = 1;
    OutputStatusTable image;
    for (int o = 0; o < kMaxOutputs; ++o) {
        image.videoInput(o) = s.prevOutputs.videoInput(o);
        image.audioInput(o) = s.prevOutputs.audioInput(o);
        image.videoTaken(o) = image.audioTaken(o) = 1;
        image.muted(o) = s.outputs.muted(o);
    }
    std::copy(image.bytes.begin(), image.bytes.end(), s.presets.routeImage(p).begin());
    const std::size_t levels = PresetTable::kRecord * static_cast<std::size_t>(p) +
                               PresetTable::kInputBytes;
    std::copy(s.levels.bytes.begin(), s.levels.bytes.end(), s.presets.bytes.begin() + static_cast<long>(levels));
    s.presetGroups.images[static_cast<std::size_t>(p)] = s.groups;
}

void RecallPreset(DeviceState& s, int p) {
    if (s.presets.stored(p) == 0) {
        return;
    }
    OutputStatusTable image;
    const auto source = s.presets.routeImage(p);
    std::copy(source.begin(), source.end(), image.bytes.begin());
    for (int o = 0; o < s.ShownOutputs(); ++o) {
        s.outputs.videoInput(o) = s.prevOutputs.videoInput(o) = image.videoInput(o);
        s.outputs.audioInput(o) = s.prevOutputs.audioInput(o) = image.audioInput(o);
        s.outputs.videoTaken(o) = s.outputs.audioTaken(o) = 1;
        s.outputs.muted(o) = image.muted(o);
    }
    s.groups = s.presetGroups.images[static_cast<std::size_t>(p)];
}

LineEffect PresetsAndGroups(DeviceState& s, const Parsed& p) {
    const long inputs = s.Inputs();
    const long outputs = s.ShownOutputs();
    const auto& a = p.args;
    if (p.word == "PRST" || p.word == "RPRST") {
        const bool store = p.word == "PRST";
        if (a.size() != (store ? 1u : 2u) || !In(a[0], 1, kPresetCount)) {
            return LineEffect::None;
        }
        store ? StorePreset(s, static_cast<int>(a[0] - 1))
              : RecallPreset(s, static_cast<int>(a[0] - 1));
        return LineEffect::Applied;
    }
    if (p.word == "GADD" || p.word == "GDEL") {
        const auto member = [](long v, long count) { return In(v, 1, count) || v == kNotGiven; };
        if (a.size() != 3 || !In(a[0], 1, outputs) || !member(a[1], outputs) ||
            !member(a[2], inputs) || (a[1] == kNotGiven && a[2] == kNotGiven)) {
            return LineEffect::None;
        }
        const int g = static_cast<int>(a[0] - 1);
        const long o = a[1] == kNotGiven ? -1 : a[1] - 1;
        const long i = a[2] == kNotGiven ? -1 : a[2] - 1;
        p.word == "GADD" ? GroupAdd(s.groups, g, o, i) : GroupDel(s.groups, g, o, i);
        return LineEffect::Applied;
    }
    if (p.word == "GCLEAR") {
        if (a.size() != 1 || !(In(a[0], 1, outputs) || a[0] == kAllGroups)) {
            return LineEffect::None;
        }
        for (int g = 0; g < kMaxOutputs; ++g) {
            if (a[0] == kAllGroups || g == a[0] - 1) {
                GroupClear(s.groups, g);
            }
        }
        return LineEffect::Applied;
    }
    return LineEffect::None;
}

} // namespace

LineEffect ApplyWriteLine(DeviceState& state, std::string_view line) {
    const Parsed p = Parse(line);
    if (p.word.empty() || (!p.numbers && p.word != "RESETQV")) {
        return LineEffect::None;
    }
    for (auto* part : {Routing, Settings, PresetsAndGroups}) {
        const LineEffect effect = part(state, p);
        if (effect != LineEffect::None) {
            return effect;
        }
    }
    return LineEffect::None;
}

} // namespace qvc
