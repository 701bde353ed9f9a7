// Crosspoint routing with temporary routes, take, cancel, clear and mutes:
// the state each action leaves and the exact lines it hands to the link.
#include "model/Switching.h"

#include "model/Audio.h"

#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace qvc {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t X = 0xFC; // NoInput / NoGroup

// videoInput, audioInput, videoTaken, audioTaken, muted of output o.
Bytes Record(const DeviceState& s, int o) {
    return {s.outputs.videoInput(o), s.outputs.audioInput(o), s.outputs.videoTaken(o),
            s.outputs.audioTaken(o), s.outputs.muted(o)};
}
// The committed route of output o.
Bytes Prev(const DeviceState& s, int o) {
    return {s.prevOutputs.videoInput(o), s.prevOutputs.audioInput(o)};
}
void SetRecord(DeviceState& s, int o, Bytes r) {
    std::copy(r.begin(), r.end(), s.outputs.bytes.begin() + 5 * o);
}
void SetPrev(DeviceState& s, int o, Bytes r) {
    std::copy(r.begin(), r.end(), s.prevOutputs.bytes.begin() + 2 * o);
}
// Output o committed to video input v and audio input a (0-based).
void Committed(DeviceState& s, int o, std::uint8_t v, std::uint8_t a) {
    SetRecord(s, o, {v, a, 1, 1, 0});
    SetPrev(s, o, {v, a});
}

class SwitchingTest : public ::testing::Test {
  protected:
    DeviceState state;
    Switching sw{state};
};

TEST_F(SwitchingTest, WithoutASelectedInputOutputClicksDoNothing) {
    Committed(state, 1, 4, 4);
    state.groups.outputGroup(1) = 0;
    state.groups.outputGroup(2) = 0;
    const auto before = state.outputs.bytes;
    EXPECT_EQ(sw.SelectedInput(), NoInput);
    for (auto mode : {AvMode::AudioVideo, AvMode::VideoOnly, AvMode::AudioOnly}) {
        EXPECT_TRUE(sw.ToggleOutput(1, mode).empty());
        EXPECT_TRUE(sw.PropagateToGroup(1, mode).empty());
    }
    EXPECT_EQ(state.outputs.bytes, before);
}

TEST_F(SwitchingTest, SecondClickOnTheSameInputDropsTheSelection) {
    sw.SelectInput(2);
    EXPECT_EQ(sw.SelectedInput(), 2);
    sw.SelectInput(5);
    EXPECT_EQ(sw.SelectedInput(), 5);
    sw.SelectInput(5);
    EXPECT_EQ(sw.SelectedInput(), NoInput);
    sw.SelectInput(16); // no such input: nothing changes
    sw.SelectInput(-1);
    EXPECT_EQ(sw.SelectedInput(), NoInput);
}

TEST_F(SwitchingTest, AudioVideoRouteRevertRoute) {
    // Output 2 committed to input 5, input 1 selected.
    Committed(state, 1, 4, 4);
    sw.SelectInput(0);
    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioVideo), Commands{"RTEMP 2 1 1"});
    EXPECT_EQ(Record(state, 1), (Bytes{0, 0, 0, 0, 0}));
    EXPECT_EQ(Prev(state, 1), (Bytes{4, 4}));
    EXPECT_EQ(sw.ColourFor(0, 1), RouteColour::AudioVideo);

    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioVideo), Commands{"TAKE 0"});
    EXPECT_EQ(Record(state, 1), (Bytes{4, 4, 1, 1, 0}));
    EXPECT_EQ(sw.ColourFor(0, 1), RouteColour::Face);

    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioVideo), Commands{"RTEMP 2 1 1"});
    EXPECT_EQ(Record(state, 1), (Bytes{0, 0, 0, 0, 0}));
}

TEST_F(SwitchingTest, AudioVideoClickOnAnOutputCarryingTheInputDisconnectsIt) {
    // Output 2: video input 1, audio input 4, committed; input 1 selected.
    Committed(state, 1, 0, 3);
    sw.SelectInput(0);
    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioVideo), Commands{"RTEMP 2 0 0"});
    EXPECT_EQ(Record(state, 1), (Bytes{X, X, 0, 0, 0}));
    EXPECT_EQ(Prev(state, 1), (Bytes{0, 3}));
}

TEST_F(SwitchingTest, AudioOnlyThenAudioVideoRevertsToTheCommittedRoute) {
    Committed(state, 1, 0, 3);
    sw.SelectInput(0);
    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioOnly), Commands{"RTEMP 2 101 1"});
    EXPECT_EQ(Record(state, 1), (Bytes{0, 0, 1, 0, 0}));
    EXPECT_EQ(sw.ColourFor(0, 1), RouteColour::AudioVideo);

    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioVideo), Commands{"TAKE 0"});
    EXPECT_EQ(Record(state, 1), (Bytes{0, 3, 1, 1, 0}));
    EXPECT_EQ(sw.ColourFor(0, 1), RouteColour::VideoOnly);
}

TEST_F(SwitchingTest, RoutingBackToTheCommittedInputStaysTemporary) {
    // Output 3 committed to input 1; disconnect, then route input 1 again.
    Committed(state, 2, 0, 0);
    sw.SelectInput(0);
    EXPECT_EQ(sw.ToggleOutput(2, AvMode::AudioVideo), Commands{"RTEMP 3 0 0"});
    EXPECT_EQ(Record(state, 2), (Bytes{X, X, 0, 0, 0}));
    EXPECT_EQ(sw.ToggleOutput(2, AvMode::AudioVideo), Commands{"RTEMP 3 1 1"});
    EXPECT_EQ(Record(state, 2), (Bytes{0, 0, 0, 0, 0}));
    // Equal to the committed route again: the third click disconnects.
    EXPECT_EQ(sw.ToggleOutput(2, AvMode::AudioVideo), Commands{"RTEMP 3 0 0"});
}

TEST_F(SwitchingTest, AudioVideoCasesFollowTheCommittedRoute) {
    // Audio/Video case a with the committed route equal to the input: both
    // taken fields keep their values (here committed 1 and 1).
    SetRecord(state, 0, {2, 7, 1, 1, 0});
    SetPrev(state, 0, {2, 2});
    sw.SelectInput(2);
    // Video carries input 3 already, so case a does not apply; audio differs
    // from the committed value: case b reverts.
    EXPECT_EQ(sw.ToggleOutput(0, AvMode::AudioVideo), Commands{"TAKE 0"});
    EXPECT_EQ(Record(state, 0), (Bytes{2, 2, 1, 1, 0}));

    SetRecord(state, 1, {5, 6, 1, 1, 1});
    SetPrev(state, 1, {2, 2});
    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioVideo), Commands{"RTEMP 2 3 3"});
    EXPECT_EQ(Record(state, 1), (Bytes{2, 2, 1, 1, 1}));
}

TEST_F(SwitchingTest, VideoOnlyLeavesAudioAlone) {
    SetRecord(state, 0, {5, 7, 1, 1, 0});
    SetPrev(state, 0, {5, 7});
    sw.SelectInput(2);
    EXPECT_EQ(sw.ToggleOutput(0, AvMode::VideoOnly), Commands{"RTEMP 1 3 101"});
    EXPECT_EQ(Record(state, 0), (Bytes{2, 7, 0, 1, 0}));
    EXPECT_EQ(sw.ColourFor(2, 0), RouteColour::VideoOnly);
    // Case b: back to the committed video input.
    EXPECT_EQ(sw.ToggleOutput(0, AvMode::VideoOnly), Commands{"TAKE 0"});
    EXPECT_EQ(Record(state, 0), (Bytes{5, 7, 1, 1, 0}));

    // Case c on an output whose committed video is the selected input.
    Committed(state, 3, 2, 9);
    EXPECT_EQ(sw.ToggleOutput(3, AvMode::VideoOnly), Commands{"RTEMP 4 0 101"});
    EXPECT_EQ(Record(state, 3), (Bytes{X, 9, 0, 1, 0}));
    // Case a back onto the committed input: the taken mark stays 0.
    EXPECT_EQ(sw.ToggleOutput(3, AvMode::VideoOnly), Commands{"RTEMP 4 3 101"});
    EXPECT_EQ(Record(state, 3), (Bytes{2, 9, 0, 1, 0}));
}

TEST_F(SwitchingTest, AudioOnlyLeavesVideoAlone) {
    SetRecord(state, 0, {5, 7, 1, 1, 1});
    SetPrev(state, 0, {5, 7});
    sw.SelectInput(2);
    EXPECT_EQ(sw.ToggleOutput(0, AvMode::AudioOnly), Commands{"RTEMP 1 101 3"});
    EXPECT_EQ(Record(state, 0), (Bytes{5, 2, 1, 0, 1}));
    EXPECT_EQ(sw.ColourFor(2, 0), RouteColour::AudioOnly);
    EXPECT_EQ(sw.ToggleOutput(0, AvMode::AudioOnly), Commands{"TAKE 0"});
    EXPECT_EQ(Record(state, 0), (Bytes{5, 7, 1, 1, 1}));

    Committed(state, 3, 9, 2);
    EXPECT_EQ(sw.ToggleOutput(3, AvMode::AudioOnly), Commands{"RTEMP 4 101 0"});
    EXPECT_EQ(Record(state, 3), (Bytes{9, X, 1, 0, 0}));
}

TEST_F(SwitchingTest, SingleLayerRouteOntoThePreviousInputKeepsItsTakenMark) {
    // As a read-back may report it: committed marks set while the previous
    // route names the selected input. Case a then leaves the mark alone.
    SetRecord(state, 0, {5, 9, 1, 1, 0});
    SetPrev(state, 0, {2, 9});
    SetRecord(state, 1, {9, 5, 1, 1, 0});
    SetPrev(state, 1, {9, 2});
    sw.SelectInput(2);
    EXPECT_EQ(sw.ToggleOutput(0, AvMode::VideoOnly), Commands{"RTEMP 1 3 101"});
    EXPECT_EQ(Record(state, 0), (Bytes{2, 9, 1, 1, 0}));
    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioOnly), Commands{"RTEMP 2 101 3"});
    EXPECT_EQ(Record(state, 1), (Bytes{9, 2, 1, 1, 0}));
}

// "TAKE 0" drops every temporary route on the switcher: a revert sends the
// routes that stay temporary here once more, in each mode's form.
TEST_F(SwitchingTest, RevertingOneOutputSendsTheOthersTemporaryRoutesAgain) {
    struct Case {
        AvMode mode;
        Commands revert;
        Bytes output1;
    };
    const Case cases[] = {
        {AvMode::AudioVideo, {"TAKE 0", "RTEMP 1 5 5"}, {4, 4, 0, 0, 0}},
        {AvMode::VideoOnly, {"TAKE 0", "RTEMP 1 5 101"}, {4, 3, 0, 1, 0}},
        {AvMode::AudioOnly, {"TAKE 0", "RTEMP 1 101 5"}, {3, 4, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        DeviceState s;
        Switching sw2(s);
        Committed(s, 0, 3, 3);
        Committed(s, 1, 3, 3);
        Committed(s, 2, 3, 3);
        // Input 5 to outputs 1 and 2, then output 2 clicked again.
        sw2.SelectInput(4);
        sw2.ToggleOutput(0, c.mode);
        sw2.ToggleOutput(1, c.mode);
        EXPECT_EQ(sw2.ToggleOutput(1, c.mode), c.revert);
        EXPECT_EQ(Record(s, 1), (Bytes{3, 3, 1, 1, 0}));
        EXPECT_EQ(Record(s, 0), c.output1);
        EXPECT_EQ(sw2.Take(), Commands{"TAKE 1"});
        EXPECT_EQ(Prev(s, 0), Bytes(c.output1.begin(), c.output1.begin() + 2));
    }
}

TEST_F(SwitchingTest, RevertSendsTemporaryDisconnectionsAndSingleLayers) {
    Committed(state, 0, 4, 4);
    Committed(state, 1, 3, 3);
    Committed(state, 2, 3, 3);
    Committed(state, 3, 7, 7);
    sw.SelectInput(4);
    EXPECT_EQ(sw.ToggleOutput(0, AvMode::AudioVideo), Commands{"RTEMP 1 0 0"});
    EXPECT_EQ(sw.ToggleOutput(2, AvMode::AudioOnly), Commands{"RTEMP 3 101 5"});
    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioVideo), Commands{"RTEMP 2 5 5"});
    EXPECT_EQ(sw.ToggleOutput(1, AvMode::AudioVideo),
              (Commands{"TAKE 0", "RTEMP 1 0 0", "RTEMP 3 101 5"}));
    EXPECT_EQ(Record(state, 0), (Bytes{X, X, 0, 0, 0}));
    EXPECT_EQ(Record(state, 2), (Bytes{3, 4, 1, 0, 0}));
    EXPECT_EQ(Record(state, 3), (Bytes{7, 7, 1, 1, 0}));
}

TEST_F(SwitchingTest, TakeCommitsAndKeepsTheSelection) {
    Committed(state, 0, 3, 3);
    Committed(state, 5, 1, 2);
    sw.SelectInput(4);
    sw.ToggleOutput(0, AvMode::AudioVideo);
    sw.ToggleOutput(5, AvMode::AudioOnly);
    EXPECT_EQ(sw.Take(), Commands{"TAKE 1"});
    EXPECT_EQ(Record(state, 0), (Bytes{4, 4, 1, 1, 0}));
    EXPECT_EQ(Prev(state, 0), (Bytes{4, 4}));
    EXPECT_EQ(Record(state, 5), (Bytes{1, 4, 1, 1, 0}));
    EXPECT_EQ(Prev(state, 5), (Bytes{1, 4}));
    EXPECT_EQ(sw.SelectedInput(), 4);
    // Nothing temporary: Take still sends TAKE 1, Cancel sends nothing.
    EXPECT_EQ(sw.Take(), Commands{"TAKE 1"});
    EXPECT_TRUE(sw.CancelPending().empty());
    EXPECT_EQ(sw.SelectedInput(), NoInput);
}

TEST_F(SwitchingTest, CancelRevertsTemporarySignalsAndKeepsMutes) {
    Committed(state, 0, 3, 3);
    Committed(state, 1, 3, 3);
    sw.SelectInput(4);
    sw.ToggleOutput(0, AvMode::VideoOnly);
    sw.ToggleOutput(1, AvMode::AudioVideo);
    EXPECT_EQ(sw.SetOutputMute(1, true), Commands{"OMUTE 2 1"});
    EXPECT_EQ(sw.CancelPending(), Commands{"TAKE 0"});
    EXPECT_EQ(sw.SelectedInput(), NoInput);
    EXPECT_EQ(Record(state, 0), (Bytes{3, 3, 1, 1, 0}));
    EXPECT_EQ(Record(state, 1), (Bytes{3, 3, 1, 1, 1}));
    // A temporary disconnection also counts as reverted.
    SetRecord(state, 2, {X, 6, 0, 1, 0});
    SetPrev(state, 2, {6, 6});
    EXPECT_EQ(sw.CancelPending(), Commands{"TAKE 0"});
    EXPECT_EQ(Record(state, 2), (Bytes{6, 6, 1, 1, 0}));
}

TEST_F(SwitchingTest, ClearAllRoutingAfterCancel) {
    Committed(state, 0, 3, 3);
    Committed(state, 15, 8, 9);
    SetRecord(state, 7, {2, 2, 1, 1, 1});
    sw.SelectInput(4);
    sw.ToggleOutput(0, AvMode::AudioVideo);
    Commands lines = sw.CancelPending();
    const Commands clear = sw.ClearAllRouting();
    lines.insert(lines.end(), clear.begin(), clear.end());
    EXPECT_EQ(lines, (Commands{"TAKE 0", "CLEAR"}));
    for (int o = 0; o < 16; ++o) {
        EXPECT_EQ(Record(state, o), (Bytes{X, X, 1, 1, 0})) << "output " << o + 1;
        EXPECT_EQ(Prev(state, o), (Bytes{X, X})) << "output " << o + 1;
    }
}

TEST_F(SwitchingTest, TwelveByFourLeavesSlotsFiveToEightUntouched) {
    state.model.ApplyModelCode(0);
    ASSERT_EQ(sw.ShownOutputs(), 4);
    // Slots 5..8 hold temporary routes and mutes the actions must not touch.
    for (int o = 4; o < 8; ++o) {
        SetRecord(state, o, {1, 2, 0, 0, 1});
        SetPrev(state, o, {3, 4});
    }
    const Bytes untouched(state.outputs.bytes.begin() + 20, state.outputs.bytes.end());
    const Bytes untouchedPrev(state.prevOutputs.bytes.begin() + 8, state.prevOutputs.bytes.end());
    auto expectUntouched = [&] {
        EXPECT_EQ(Bytes(state.outputs.bytes.begin() + 20, state.outputs.bytes.end()), untouched);
        EXPECT_EQ(Bytes(state.prevOutputs.bytes.begin() + 8, state.prevOutputs.bytes.end()),
                  untouchedPrev);
    };

    sw.SelectInput(1);
    EXPECT_TRUE(sw.ToggleOutput(4, AvMode::AudioVideo).empty());
    EXPECT_TRUE(sw.SetOutputMute(5, false).empty());
    EXPECT_TRUE(sw.CancelPending().empty()); // only slots 5..8 are temporary
    expectUntouched();

    sw.SelectInput(1);
    EXPECT_EQ(sw.ToggleOutput(3, AvMode::AudioVideo), Commands{"RTEMP 4 2 2"});
    EXPECT_EQ(sw.Take(), Commands{"TAKE 1"});
    expectUntouched();
    EXPECT_EQ(sw.ToggleOutput(3, AvMode::AudioVideo), Commands{"RTEMP 4 0 0"});
    EXPECT_EQ(sw.CancelPending(), Commands{"TAKE 0"});
    expectUntouched();
    EXPECT_EQ(Record(state, 3), (Bytes{1, 1, 1, 1, 0}));
    EXPECT_EQ(sw.ClearAllRouting(), Commands{"CLEAR"});
    expectUntouched();
    EXPECT_EQ(Record(state, 3), (Bytes{X, X, 1, 1, 0}));
}

// Inputs and outputs beyond the model are refused by every routing, mute and
// level operation: nothing changes and nothing is sent.
TEST_F(SwitchingTest, TwelveByFourRefusesInputsAndOutputsBeyondTheModel) {
    {
        // A selection made on a larger model is no input of the smaller one.
        DeviceState larger;
        Switching wide(larger);
        wide.SelectInput(13);
        larger.model.ApplyModelCode(0);
        EXPECT_TRUE(wide.ToggleOutput(0, AvMode::AudioVideo).empty());
    }
    state.model.ApplyModelCode(0);
    const DeviceState before = state;
    sw.SelectInput(13); // a click on input 14 of a 12 x 4
    EXPECT_EQ(sw.SelectedInput(), NoInput);

    struct Case {
        const char* what;
        std::function<Commands()> operation;
    };
    const Case cases[] = {
        {"input 14, output 1", [&] { return sw.ToggleOutput(0, AvMode::AudioVideo); }},
        {"input 14, output 1 video", [&] { return sw.ToggleOutput(0, AvMode::VideoOnly); }},
        {"mute of output 5", [&] { return sw.SetOutputMute(4, true); }},
        {"level of input 13", [&] { return SetAudioLevel(state, 12, 100); }},
        {"spin of input 16", [&] { return SpinAudioLevel(state, 15, 0, true); }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.operation(), Commands{}) << c.what;
    }
    EXPECT_EQ(state.outputs.bytes, before.outputs.bytes);
    EXPECT_EQ(state.levels.bytes, before.levels.bytes);

    // The model's last input, output and level still go out.
    sw.SelectInput(11);
    EXPECT_EQ(sw.ToggleOutput(3, AvMode::AudioVideo), Commands{"RTEMP 4 12 12"});
    EXPECT_EQ(sw.SetOutputMute(3, true), Commands{"OMUTE 4 1"});
    EXPECT_EQ(SetAudioLevel(state, 11, 100), Commands{"ALVL 12 100"});
}

// Group 1: outputs 1, 3, 4 and 10; group 2: output 2. No member inputs.
void SeedGroups(DeviceState& s) {
    GroupTable& g = s.groups;
    for (int o : {0, 2, 3, 9}) {
        g.outputGroup(o) = 0;
    }
    g.outputGroup(1) = 1;
    g.setMemberCount(0, 4);
    g.setOutputCount(0, 4);
    g.setMemberCount(1, 1);
    g.setOutputCount(1, 1);
}

TEST_F(SwitchingTest, GroupMembersAreToggledInAscendingOrderByTheirOwnState) {
    SeedGroups(state);
    Committed(state, 0, 1, 1);
    Committed(state, 1, 7, 7);
    Committed(state, 2, 0, 0);
    sw.SelectInput(4);
    // Output 1 already carries input 5 as a temporary route: it is reverted.
    EXPECT_EQ(sw.ToggleOutput(0, AvMode::AudioVideo), Commands{"RTEMP 1 5 5"});

    // The operator clicks output 3.
    EXPECT_EQ(sw.ToggleOutput(2, AvMode::AudioVideo), Commands{"RTEMP 3 5 5"});
    EXPECT_EQ(sw.PropagateToGroup(2, AvMode::AudioVideo),
              (Commands{"TAKE 0", "RTEMP 3 5 5", "RTEMP 4 5 5", "RTEMP 10 5 5"}));
    EXPECT_EQ(Record(state, 0), (Bytes{1, 1, 1, 1, 0}));
    EXPECT_EQ(Record(state, 2), (Bytes{4, 4, 0, 0, 0}));
    EXPECT_EQ(Record(state, 3), (Bytes{4, 4, 0, 0, 0}));
    EXPECT_EQ(Record(state, 9), (Bytes{4, 4, 0, 0, 0}));
    EXPECT_EQ(Record(state, 1), (Bytes{7, 7, 1, 1, 0})); // group 2 untouched

    // An output in no group propagates nothing.
    EXPECT_TRUE(sw.PropagateToGroup(4, AvMode::AudioVideo).empty());
    // Group 2 has no other member.
    EXPECT_TRUE(sw.PropagateToGroup(1, AvMode::AudioVideo).empty());
}

TEST_F(SwitchingTest, GroupPropagationStaysWithinTheShownOutputs) {
    SeedGroups(state);
    state.model.ApplyModelCode(1); // 12 x 8: output 10 is not shown
    sw.SelectInput(0);
    EXPECT_EQ(sw.PropagateToGroup(0, AvMode::VideoOnly),
              (Commands{"RTEMP 3 1 101", "RTEMP 4 1 101"}));
    EXPECT_EQ(Record(state, 9), (Bytes{X, X, 1, 1, 0}));
}

TEST_F(SwitchingTest, GroupRuleEnablesOutputsForMemberInputs) {
    // Group 1: outputs 1 and 3, input 5. Group 2: output 2, no inputs.
    GroupTable& g = state.groups;
    g.outputGroup(0) = 0;
    g.outputGroup(2) = 0;
    g.outputGroup(1) = 1;
    g.inputMember(0, 4) = 0;
    g.setInputCount(0, 1);
    g.setOutputCount(0, 2);
    g.setMemberCount(0, 3);
    g.setOutputCount(1, 1);
    g.setMemberCount(1, 1);

    const std::vector<bool> forInput5 = {true, true, true, true};
    const std::vector<bool> forInput3 = {false, true, false, true};
    for (int o = 0; o < 4; ++o) {
        EXPECT_EQ(sw.OutputEnabledFor(o, 4), forInput5[static_cast<std::size_t>(o)]) << o;
        EXPECT_EQ(sw.OutputEnabledFor(o, 2), forInput3[static_cast<std::size_t>(o)]) << o;
    }
}

TEST_F(SwitchingTest, GroupBytesOutsideTheTableCountAsNoGroup) {
    // Data from a switcher or a file is taken as it comes; a group number
    // beyond 16 must neither index past the table nor tie outputs together.
    state.groups.outputGroup(0) = 0x20;
    state.groups.outputGroup(1) = 0x20;
    state.groups.outputGroup(2) = 0xFF;
    EXPECT_EQ(sw.GroupOf(0), -1);
    EXPECT_EQ(sw.GroupOf(2), -1);
    EXPECT_TRUE(sw.OutputEnabledFor(0, 3));
    EXPECT_TRUE(sw.OutputEnabledFor(2, 3));
    sw.SelectInput(3);
    EXPECT_TRUE(sw.PropagateToGroup(0, AvMode::AudioVideo).empty());
    EXPECT_EQ(Record(state, 1), (Bytes{X, X, 1, 1, 0}));
}

TEST_F(SwitchingTest, MuteIsStoredAndSentAtOnce) {
    EXPECT_EQ(sw.SetOutputMute(3, true), Commands{"OMUTE 4 1"});
    EXPECT_EQ(state.outputs.muted(3), 1);
    EXPECT_EQ(sw.SetOutputMute(3, false), Commands{"OMUTE 4 0"});
    EXPECT_EQ(state.outputs.muted(3), 0);
    EXPECT_EQ(sw.SetOutputMute(15, true), Commands{"OMUTE 16 1"});
    EXPECT_TRUE(sw.SetOutputMute(16, true).empty());
}

TEST_F(SwitchingTest, ColouringRule) {
    SetRecord(state, 0, {3, 3, 1, 1, 0});
    SetRecord(state, 1, {3, 5, 0, 1, 0});
    SetRecord(state, 2, {5, 3, 1, 0, 0});
    SetRecord(state, 3, {X, X, 1, 1, 0});
    EXPECT_EQ(sw.ColourFor(3, 0), RouteColour::AudioVideo);
    EXPECT_EQ(sw.ColourFor(3, 1), RouteColour::VideoOnly);
    EXPECT_EQ(sw.ColourFor(3, 2), RouteColour::AudioOnly);
    EXPECT_EQ(sw.ColourFor(3, 3), RouteColour::Face);
    EXPECT_EQ(sw.ColourFor(5, 0), RouteColour::Face);
    EXPECT_EQ(sw.ColourFor(NoInput, 3), RouteColour::Face);
}

// What the committed and the temporary route of an output are, for each way
// its record and committed route can stand (the grid window shows these).
TEST_F(SwitchingTest, CommittedAndTemporaryRoutesOfAnOutput) {
    struct Case {
        const char* what;
        Bytes record; // videoInput, audioInput, videoTaken, audioTaken, muted
        Bytes prev;   // committed video, audio
        bool audioPresent;
        std::vector<int> expected; // committed video, audio, temporary video, audio
    };
    const int N = NoInput;
    const std::vector<Case> cases = {
        {"committed", {4, 6, 1, 1, 0}, {4, 6}, true, {4, 6, N, N}},
        {"temporary over a committed route", {2, 2, 0, 0, 0}, {4, 6}, true, {4, 6, 2, 2}},
        {"temporary video only", {2, 6, 0, 1, 0}, {4, 6}, true, {4, 6, 2, N}},
        {"taken to no input", {X, X, 0, 0, 0}, {4, 6}, true, {4, 6, N, N}},
        {"routed again to the committed input", {4, 6, 0, 0, 0}, {4, 6}, true, {4, 6, 4, 6}},
        {"no audio on the switcher", {2, 2, 0, 0, 0}, {4, 6}, false, {4, N, 2, N}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state.statusRead = true;
        state.status.bytes[19] = c.audioPresent ? 1 : 0;
        SetRecord(state, 3, c.record);
        SetPrev(state, 3, c.prev);
        EXPECT_EQ((std::vector<int>{sw.CommittedVideo(3), sw.CommittedAudio(3),
                                    sw.TemporaryVideo(3), sw.TemporaryAudio(3)}),
                  c.expected);
    }
    EXPECT_EQ(sw.CommittedVideo(-1), N);
    EXPECT_EQ(sw.TemporaryAudio(kMaxOutputs), N);
}

} // namespace
} // namespace qvc
