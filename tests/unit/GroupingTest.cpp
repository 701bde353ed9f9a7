// Editing the grouping: the lines each edit hands to the link and the group
// table it leaves. Numbers in the cases are 1-based, as on the screen.
#include "model/Grouping.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qvc {
namespace {

using Lines = std::vector<std::string>;

enum class Op { Input, Output, Remove, RemoveAll };

struct Step {
    Op op;
    int group = 0;
    int member = 0; // input or output
    Lines lines;
    bool needsOutput = false;
};

struct Case {
    const char* name;
    int modelCode;
    std::vector<Step> steps;
    // Every group with a count or a member afterwards, as Describe shows it.
    std::vector<std::string> groups;
};

// "G1 m3 o2 i1 out 3 5 in 4": group 1's member, output and input counts and
// its members among all 16 outputs and inputs.
std::vector<std::string> Describe(const GroupTable& t) {
    std::vector<std::string> groups;
    for (int g = 0; g < kMaxGroups; ++g) {
        std::string outs;
        std::string ins;
        for (int n = 0; n < 16; ++n) {
            if (t.outputGroup(n) == g) {
                outs += " " + std::to_string(n + 1);
            }
            if (t.inputMember(g, n) == g) {
                ins += " " + std::to_string(n + 1);
            }
        }
        if (t.memberCount(g) == 0 && t.outputCount(g) == 0 && t.inputCount(g) == 0 &&
            outs.empty() && ins.empty()) {
            continue;
        }
        groups.push_back("G" + std::to_string(g + 1) + " m" + std::to_string(t.memberCount(g)) +
                         " o" + std::to_string(t.outputCount(g)) + " i" +
                         std::to_string(t.inputCount(g)) + " out" + outs + " in" + ins);
    }
    return groups;
}

Lines LinesOf(const Commands& commands) {
    Lines lines;
    for (const Command& c : commands) {
        EXPECT_EQ(c.kind, CommandKind::Acknowledged) << c.line;
        lines.push_back(c.line);
    }
    return lines;
}

TEST(GroupingTest, EditsSendTheirLinesAndKeepTheCounts) {
    const Case cases[] = {
        {"an input before any output is refused", 3, {{Op::Input, 2, 5, {}, true}}, {}},
        {"output, then an input added and taken out",
         3,
         {{Op::Output, 1, 3, {"GADD 1 3 101"}},
          {Op::Input, 1, 4, {"GADD 1 101 4"}},
          {Op::Input, 1, 4, {"GDEL 1 101 4"}}},
         {"G1 m1 o1 i0 out 3 in"}},
        {"the last output removes the group and its inputs",
         3,
         {{Op::Output, 1, 3, {"GADD 1 3 101"}},
          {Op::Output, 1, 5, {"GADD 1 5 101"}},
          {Op::Input, 1, 4, {"GADD 1 101 4"}},
          {Op::Output, 1, 5, {"GDEL 1 5 101"}},
          {Op::Output, 1, 3, {"GCLEAR 1"}},
          {Op::Input, 1, 4, {}, true}},
         {}},
        {"an input in two groups keeps the other membership",
         3,
         {{Op::Output, 1, 3, {"GADD 1 3 101"}},
          {Op::Output, 2, 6, {"GADD 2 6 101"}},
          {Op::Input, 1, 4, {"GADD 1 101 4"}},
          {Op::Input, 2, 4, {"GADD 2 101 4"}},
          {Op::Remove, 1, 0, {"GCLEAR 1"}}},
         {"G2 m2 o1 i1 out 6 in 4"}},
        {"an output of another group is left alone",
         3,
         {{Op::Output, 1, 3, {"GADD 1 3 101"}}, {Op::Output, 2, 3, {}}},
         {"G1 m1 o1 i0 out 3 in"}},
        {"removing an empty group sends nothing; remove all with none sends GCLEAR 201",
         3,
         {{Op::Remove, 3, 0, {}}, {Op::RemoveAll, 0, 0, {"GCLEAR 201"}}},
         {}},
        {"remove all empties every group once",
         3,
         {{Op::Output, 1, 1, {"GADD 1 1 101"}},
          {Op::Output, 2, 2, {"GADD 2 2 101"}},
          {Op::Input, 2, 7, {"GADD 2 101 7"}},
          {Op::RemoveAll, 0, 0, {"GCLEAR 201"}}},
         {}},
        {"group, output and input 16 on the largest switcher",
         3,
         {{Op::Output, 16, 16, {"GADD 16 16 101"}}, {Op::Input, 16, 16, {"GADD 16 101 16"}}},
         {"G16 m2 o1 i1 out 16 in 16"}},
        {"a 12 x 4 switcher has groups 1-4, outputs 1-4 and inputs 1-12",
         0,
         {{Op::Output, 5, 1, {}},
          {Op::Output, 1, 5, {}},
          {Op::Output, 4, 4, {"GADD 4 4 101"}},
          {Op::Input, 4, 13, {}},
          {Op::Input, 4, 12, {"GADD 4 101 12"}},
          {Op::Remove, 5, 0, {}}},
         {"G4 m2 o1 i1 out 4 in 12"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceState state;
        state.model.ApplyModelCode(static_cast<std::uint8_t>(c.modelCode));
        Grouping grouping(state);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(i + 1);
            const Step& s = c.steps[i];
            const int g = s.group - 1;
            const int n = s.member - 1;
            const GroupTable before = state.groups;
            switch (s.op) {
            case Op::Input: {
                const InputToggle toggle = grouping.ToggleGroupInput(g, n);
                EXPECT_EQ(toggle.needsOutput, s.needsOutput);
                EXPECT_EQ(LinesOf(toggle.commands), s.lines);
                break;
            }
            case Op::Output:
                EXPECT_EQ(LinesOf(grouping.ToggleGroupOutput(g, n)), s.lines);
                break;
            case Op::Remove:
                EXPECT_EQ(LinesOf(grouping.RemoveGroup(g)), s.lines);
                break;
            case Op::RemoveAll:
                EXPECT_EQ(LinesOf(grouping.RemoveAllGroups()), s.lines);
                break;
            }
            // Whatever sends nothing changes nothing, except Remove All.
            if (s.lines.empty()) {
                EXPECT_EQ(state.groups.bytes, before.bytes);
            }
        }
        EXPECT_EQ(Describe(state.groups), c.groups);
    }
}

// Tables read from a switcher or a file are edited as they come.
TEST(GroupingTest, TablesAsTheyCome) {
    DeviceState state;
    Grouping grouping(state);
    auto& t = state.groups;

    // Output 3 and input 4 marked in group 1, which counts the output but no
    // members: taking the output out still clears the group on the switcher.
    t.outputGroup(2) = 0;
    t.inputMember(0, 3) = 0;
    t.setOutputCount(0, 1);
    t.setInputCount(0, 1);
    EXPECT_FALSE(grouping.Exists(0));
    EXPECT_FALSE(grouping.HasMembers(0));
    EXPECT_EQ(LinesOf(grouping.RemoveGroup(0)), Lines{}); // nothing counted
    EXPECT_EQ(LinesOf(grouping.ToggleGroupOutput(0, 2)), Lines{"GCLEAR 1"});
    EXPECT_EQ(Describe(t), std::vector<std::string>{});

    // An input marked without a count is added again, not taken out.
    t.outputGroup(0) = 1;
    t.setOutputCount(1, 1);
    t.setMemberCount(1, 1);
    t.inputMember(1, 6) = 1;
    EXPECT_TRUE(grouping.Exists(1));
    EXPECT_EQ(LinesOf(grouping.ToggleGroupInput(1, 6).commands), Lines{"GADD 2 101 7"});
    EXPECT_EQ(LinesOf(grouping.ToggleGroupInput(1, 6).commands), Lines{"GDEL 2 101 7"});

    // A group byte that is no group makes the output nobody's to take.
    t.outputGroup(9) = 200;
    EXPECT_FALSE(grouping.OutputAvailableFor(1, 9));
    EXPECT_EQ(LinesOf(grouping.ToggleGroupOutput(1, 9)), Lines{});
    EXPECT_EQ(t.outputGroup(9), 200);
}

} // namespace
} // namespace qvc
