// Editing the grouping: the lines each edit hands to the link and the group
// table it leaves. Numbers in the cases are 1-based, as on the screen.
#include "model/Grouping.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace qvc {
namespace {

// "G1 m2 o1 i1 out 3 in 4; G2 ...": each group with a count or a member,
// its member, output and input counts and its members among all 16.
std::string Describe(const GroupTable& t) {
    std::ostringstream text;
    for (int g = 0; g < kMaxGroups; ++g) {
        std::ostringstream outs;
        std::ostringstream ins;
        for (int n = 0; n < 16; ++n) {
            if (t.outputGroup(n) == g) {
                outs << ' ' << n + 1;
            }
            if (t.inputMember(g, n) == g) {
                ins << ' ' << n + 1;
            }
        }
        if (t.memberCount(g) || t.outputCount(g) || t.inputCount(g) || !outs.str().empty() ||
            !ins.str().empty()) {
            text << (text.str().empty() ? "G" : "; G") << g + 1 << " m" << t.memberCount(g)
                 << " o" << t.outputCount(g) << " i" << t.inputCount(g) << " out" << outs.str()
                 << " in" << ins.str();
        }
    }
    return text.str();
}

// Runs "o1.3" (output 3 of group 1), "i1.4" (input 4), "r1" (remove group 1)
// and "all"; returns the lines sent, "|"-joined, with "output first" for a
// refused input. A step that sends nothing must change nothing.
std::string Edit(Grouping& grouping, const GroupTable& table, const std::string& script) {
    std::istringstream steps(script);
    std::string lines;
    for (std::string step; steps >> step;) {
        const GroupTable before = table;
        const int g = std::atoi(step.c_str() + 1) - 1;
        const int n = std::atoi(step.c_str() + step.find('.') + 1) - 1;
        Commands sent;
        if (step == "all") {
            sent = grouping.RemoveAllGroups();
        } else if (step[0] == 'r') {
            sent = grouping.RemoveGroup(g);
        } else if (step[0] == 'o') {
            sent = grouping.ToggleGroupOutput(g, n);
        } else {
            const InputToggle toggle = grouping.ToggleGroupInput(g, n);
            sent = toggle.commands;
            lines += toggle.needsOutput ? "output first|" : "";
        }
        for (const Command& c : sent) {
            EXPECT_EQ(c.kind, CommandKind::Acknowledged);
            lines += c.line + "|";
        }
        if (sent.empty()) {
            EXPECT_EQ(table.bytes, before.bytes) << step;
        }
    }
    return lines;
}

TEST(GroupingTest, EditsSendTheirLinesAndKeepTheCounts) {
    const struct {
        const char* name;
        int modelCode;
        const char* script;
        const char* lines;
        const char* after;
    } cases[] = {
        {"input before output", 3, "i2.5", "output first|", ""},
        {"input added, taken out", 3, "o1.3 i1.4 i1.4", "GADD 1 3 101|GADD 1 101 4|GDEL 1 101 4|",
         "G1 m1 o1 i0 out 3 in"},
        {"last output takes the group", 3, "o1.3 o1.5 i1.4 o1.5 o1.3 i1.4",
         "GADD 1 3 101|GADD 1 5 101|GADD 1 101 4|GDEL 1 5 101|GCLEAR 1|output first|", ""},
        {"input in two groups", 3, "o1.3 o2.6 i1.4 i2.4 r1",
         "GADD 1 3 101|GADD 2 6 101|GADD 1 101 4|GADD 2 101 4|GCLEAR 1|", "G2 m2 o1 i1 out 6 in 4"},
        {"output of another group", 3, "o1.3 o2.3", "GADD 1 3 101|", "G1 m1 o1 i0 out 3 in"},
        {"remove empty, remove all with none", 3, "r3 all", "GCLEAR 201|", ""},
        {"remove all", 3, "o1.1 o2.2 i2.7 all",
         "GADD 1 1 101|GADD 2 2 101|GADD 2 101 7|GCLEAR 201|", ""},
        {"group 16", 3, "o16.16 i16.16", "GADD 16 16 101|GADD 16 101 16|",
         "G16 m2 o1 i1 out 16 in 16"},
        {"12 x 4: groups 1-4, outputs 1-4, inputs 1-12", 0, "o5.1 o1.5 o4.4 i4.13 i4.12 r5",
         "GADD 4 4 101|GADD 4 101 12|", "G4 m2 o1 i1 out 4 in 12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceState state;
        state.model.ApplyModelCode(static_cast<std::uint8_t>(c.modelCode));
        Grouping grouping(state);
        EXPECT_EQ(Edit(grouping, state.groups, c.script), c.lines);
        EXPECT_EQ(Describe(state.groups), c.after);
    }
}

// Tables read from a switcher or a file are edited as they come.
TEST(GroupingTest, TablesAsTheyCome) {
    DeviceState state;
    Grouping grouping(state);
    auto& t = state.groups;
    // Output 3 and input 4 in group 1, which counts the output but no
    // members: the last output still clears the group on the switcher.
    t.outputGroup(2) = 0;
    t.inputMember(0, 3) = 0;
    t.setOutputCount(0, 1);
    t.setInputCount(0, 1);
    EXPECT_FALSE(grouping.HasMembers(0));
    EXPECT_EQ(Edit(grouping, t, "r1 o1.3"), "GCLEAR 1|");
    EXPECT_EQ(Describe(t), "");
    // An input marked without a count is added again; a group byte that is
    // no group makes the output nobody's to take.
    t.outputGroup(0) = 1;
    t.setOutputCount(1, 1);
    t.setMemberCount(1, 1);
    t.inputMember(1, 6) = 1;
    t.outputGroup(9) = 200;
    EXPECT_EQ(Edit(grouping, t, "i2.7 i2.7 o2.10"), "GADD 2 101 7|GDEL 2 101 7|");
}

} // namespace
} // namespace qvc
