// The simulator's request lines: any bytes, cut into lines the way the
// simulator cuts them (CR ends a line, LF is ignored), through the
// switcher's line handler, with its state checked after every line.
//
// Input: the model code, the audio flag and whether to start from the demo
// state, then the lines.
#include "FuzzCheck.h"

#include <Encoder.h>
#include <Switcher.h>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace {

using namespace qvsim;

QVC_FUZZ_CHECKER bool IsInput(std::uint8_t v, int inputs) {
    return v == kNoInput || v < inputs;
}

QVC_FUZZ_CHECKER bool IsFlag(std::uint8_t v) {
    return v == 0 || v == 1;
}

// The grouping is consistent: counts match the members, members are the
// model's, and a group without an output has no inputs.
QVC_FUZZ_CHECKER void CheckGroups(const GroupTable& t, const SimState& s) {
    for (int g = 0; g < kMaxOutputs; ++g) {
        int outputs = 0;
        int inputs = 0;
        for (int o = 0; o < kMaxOutputs; ++o) {
            outputs += t.outputGroup[o] == g ? 1 : 0;
        }
        for (int k = 0; k < kMaxInputs; ++k) {
            const std::uint8_t member = t.inputMember[g][k];
            QVC_FUZZ_CHECK(member == g || member == kNoGroup);
            QVC_FUZZ_CHECK(member == kNoGroup || k < s.InputCount());
            inputs += member == g ? 1 : 0;
        }
        QVC_FUZZ_CHECK(t.outputCount[g] == outputs);
        QVC_FUZZ_CHECK(t.inputCount[g] == inputs);
        QVC_FUZZ_CHECK(t.memberCount[g] == outputs + inputs);
        QVC_FUZZ_CHECK(outputs > 0 || inputs == 0);
        QVC_FUZZ_CHECK(outputs == 0 || g < s.OutputCount());
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        QVC_FUZZ_CHECK(t.outputGroup[o] == kNoGroup ||
                       (o < s.OutputCount() && t.outputGroup[o] < s.OutputCount()));
    }
}

QVC_FUZZ_CHECKER void CheckState(const SimState& s, const SimState& start) {
    QVC_FUZZ_CHECK(s.modelCode == start.modelCode && s.audioPresent == start.audioPresent);
    for (int o = 0; o < kMaxOutputs; ++o) {
        const OutputEntry& e = s.outputs[o];
        if (o >= s.OutputCount()) {
            // Nothing reaches the outputs the model lacks.
            QVC_FUZZ_CHECK(e == start.outputs[o] && s.committed[o] == start.committed[o]);
            continue;
        }
        QVC_FUZZ_CHECK(IsInput(e.videoInput, s.InputCount()) &&
                       IsInput(e.audioInput, s.InputCount()));
        QVC_FUZZ_CHECK(IsFlag(e.videoTaken) && IsFlag(e.audioTaken) && IsFlag(e.muted));
        // A committed layer shows its committed input.
        QVC_FUZZ_CHECK(e.videoTaken == 0 || e.videoInput == s.committed[o].videoInput);
        QVC_FUZZ_CHECK(e.audioTaken == 0 || e.audioInput == s.committed[o].audioInput);
    }
    for (const std::uint8_t level : s.levels) {
        QVC_FUZZ_CHECK(level <= 252);
    }
    QVC_FUZZ_CHECK(IsFlag(s.settings.frontPanelLock));
    QVC_FUZZ_CHECK(s.settings.videoSwitchSource >= 0 && s.settings.videoSwitchSource <= 3);
    QVC_FUZZ_CHECK(s.settings.rgbDelay >= 0 && s.settings.rgbDelay <= 4000);
    CheckGroups(s.groups, s);
}

// The presets hold what a store took: consistent groupings, one preset
// stored last at most.
QVC_FUZZ_CHECKER void CheckPresets(const SimState& s) {
    int lastStored = 0;
    for (const PresetRecord& r : s.presets) {
        QVC_FUZZ_CHECK(IsFlag(r.stored) && IsFlag(r.lastStored));
        QVC_FUZZ_CHECK(r.stored == 1 || r.lastStored == 0);
        lastStored += r.lastStored;
        CheckGroups(r.groups, s);
    }
    QVC_FUZZ_CHECK(lastStored <= 1);
}

// A status reply has the size of its query in the model's form.
QVC_FUZZ_CHECKER void CheckPayload(const Answer& answer, const SimState& s) {
    const std::size_t slotCount = static_cast<std::size_t>(s.OutputSlots());
    const bool large = s.LargeForm();
    std::size_t size = 0;
    switch (answer.query) {
    case Query::Minfoqv:
        size = kStatusBlockSize;
        break;
    case Query::Ainfoqv:
        size = static_cast<std::size_t>(s.InputCount());
        break;
    case Query::Oinfoqv:
        size = 5 * slotCount;
        break;
    case Query::Opinfoqv:
        size = 2 * slotCount;
        break;
    case Query::Pinfoqv:
        size = kPresetCount * (large ? kPresetLargeRecord : kPresetSmallRecord);
        break;
    case Query::Ginfoqv:
    case Query::Pginfoqv:
        size = large ? kGroupLargeSize : kGroupSmallSize;
        break;
    }
    QVC_FUZZ_CHECK(answer.payload.size() == size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    SimOptions options;
    options.model = input.ConsumeIntegralInRange(0, 3);
    options.audio = input.ConsumeBool();
    const bool demo = input.ConsumeBool();
    Switcher switcher(options);
    if (demo) {
        switcher.SeedDemo();
    }
    const SimState start = switcher.State();
    CheckState(start, start);
    CheckPresets(start);

    const std::string bytes = input.ConsumeRemainingBytesAsString();
    std::string line;
    for (const char c : bytes) {
        if (c == '\n') {
            continue;
        }
        if (c != '\r') {
            line += c;
            continue;
        }
        const Answer answer = switcher.Handle(line);
        line.clear();
        if (answer.kind == Answer::Kind::Status) {
            CheckPayload(answer, switcher.State());
        } else {
            QVC_FUZZ_CHECK(answer.payload.empty());
        }
        CheckState(switcher.State(), start);
    }
    // A store copies the grouping checked above, so the presets are checked
    // once, at the end.
    CheckPresets(switcher.State());
    return 0;
}
