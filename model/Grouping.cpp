#include "Grouping.h"

#include <algorithm>

namespace qvc {

namespace {

constexpr int kNotGiven = cmd::kNotGiven;

std::uint8_t GroupByte(int g) {
    return static_cast<std::uint8_t>(g);
}

} // namespace

int Grouping::GroupCount() const {
    return std::clamp(state_.ShownOutputs(), 0, kMaxGroups);
}

int Grouping::InputCount() const {
    return std::clamp(state_.Inputs(), 0, kMaxInputs);
}

int Grouping::OutputCount() const {
    return std::clamp(state_.ShownOutputs(), 0, kMaxOutputs);
}

bool Grouping::IsInputMember(int g, int k) const {
    return g >= 0 && g < kMaxGroups && k >= 0 && k < kMaxInputs &&
           state_.groups.inputMember(g, k) == g;
}

bool Grouping::IsOutputMember(int g, int o) const {
    return g >= 0 && g < kMaxGroups && o >= 0 && o < kMaxOutputs &&
           state_.groups.outputGroup(o) == g;
}

bool Grouping::OutputAvailableFor(int g, int o) const {
    return o >= 0 && o < kMaxOutputs &&
           (state_.groups.outputGroup(o) == NoGroup || IsOutputMember(g, o));
}

bool Grouping::Exists(int g) const {
    return g >= 0 && g < kMaxGroups && state_.groups.memberCount(g) > 0 &&
           state_.groups.outputCount(g) > 0;
}

bool Grouping::HasMembers(int g) const {
    return g >= 0 && g < kMaxGroups && state_.groups.memberCount(g) >= 1;
}

InputToggle Grouping::ToggleGroupInput(int g, int k) {
    if (!IsGroup(g) || !IsInput(k)) {
        return {};
    }
    auto& t = state_.groups;
    if (t.outputCount(g) < 1) {
        return {.needsOutput = true, .commands = {}};
    }
    if (t.inputCount(g) > 0 && IsInputMember(g, k)) {
        t.inputMember(g, k) = NoGroup;
        t.setMemberCount(g, t.memberCount(g) - 1);
        t.setInputCount(g, t.inputCount(g) - 1);
        return {.needsOutput = false, .commands = {cmd::Gdel(g, kNotGiven, k)}};
    }
    t.inputMember(g, k) = GroupByte(g);
    t.setMemberCount(g, t.memberCount(g) + 1);
    t.setInputCount(g, t.inputCount(g) + 1);
    return {.needsOutput = false, .commands = {cmd::Gadd(g, kNotGiven, k)}};
}

Commands Grouping::ToggleGroupOutput(int g, int o) {
    if (!IsGroup(g) || !IsOutput(o) || !OutputAvailableFor(g, o)) {
        return {};
    }
    auto& t = state_.groups;
    if (IsOutputMember(g, o)) {
        t.outputGroup(o) = NoGroup;
        t.setOutputCount(g, t.outputCount(g) - 1);
        if (t.outputCount(g) == 0) {
            // The last output takes the group with it, inputs included. This
            // holds also for a table that counted no members: the page shows
            // the output gone, so the switcher is told.
            ClearGroup(g);
            return {cmd::Gclear(g)};
        }
        t.setMemberCount(g, t.memberCount(g) - 1);
        return {cmd::Gdel(g, o, kNotGiven)};
    }
    t.outputGroup(o) = GroupByte(g);
    t.setMemberCount(g, t.memberCount(g) + 1);
    t.setOutputCount(g, t.outputCount(g) + 1);
    return {cmd::Gadd(g, o, kNotGiven)};
}

Commands Grouping::RemoveGroup(int g) {
    if (!IsGroup(g) || state_.groups.memberCount(g) <= 0) {
        return {};
    }
    ClearGroup(g);
    return {cmd::Gclear(g)};
}

Commands Grouping::RemoveAllGroups() {
    for (int g = 0; g < GroupCount(); ++g) {
        if (state_.groups.memberCount(g) > 0) {
            ClearGroup(g);
        }
    }
    return {cmd::Gclear(cmd::kAllGroups)};
}

void Grouping::ClearGroup(int g) {
    auto& t = state_.groups;
    t.setMemberCount(g, 0);
    t.setInputCount(g, 0);
    t.setOutputCount(g, 0);
    for (int k = 0; k < InputCount(); ++k) {
        if (IsInputMember(g, k)) {
            t.inputMember(g, k) = NoGroup;
        }
    }
    for (int o = 0; o < OutputCount(); ++o) {
        if (IsOutputMember(g, o)) {
            t.outputGroup(o) = NoGroup;
        }
    }
}

} // namespace qvc
