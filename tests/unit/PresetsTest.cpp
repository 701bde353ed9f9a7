// The preset panel's model: store, preview with its backup, confirm, cancel
// and the sequencer's direct recall, with the exact lines each sends.
#include "model/Presets.h"

#include <functional>
#include <gtest/gtest.h>

namespace qvc {
namespace {

class PresetsTest : public ::testing::Test {
  protected:
    PresetsTest() { state.model.ApplyModelCode(3); }

    // Output o (0-based) on input k on both layers, committed or not.
    void Route(int o, int k, bool committed) {
        state.outputs.videoInput(o) = state.outputs.audioInput(o) = static_cast<std::uint8_t>(k);
        state.outputs.videoTaken(o) = state.outputs.audioTaken(o) = committed ? 1 : 0;
    }
    // Stores the current routing and grouping as preset p, forgetting the lines.
    void StoreAs(int p) {
        presets.StorePreset(p);
        presets.SetPanelState(PresetPanelState::Idle);
    }

    DeviceState state;
    Switching switching{state};
    Presets presets{state, switching};
};

TEST_F(PresetsTest, StoreKeepsTemporaryRoutesAsTheyAreThenTakesAndSends) {
    Route(0, 4, false);
    state.groups.outputGroup(0) = 2;
    state.presets.lastStored(7) = 1;
    presets.SetPanelState(PresetPanelState::Saving);

    EXPECT_EQ(presets.StorePreset(3), (Commands{"TAKE 1", "PRST 4"}));
    const auto image = state.presets.routeImage(3);
    EXPECT_EQ(image[0], 4);
    EXPECT_EQ(image[2], 0); // stored before the take: still temporary in the preset
    EXPECT_EQ(state.outputs.videoTaken(0), 1);
    EXPECT_EQ(state.presetGroups.images[3].outputGroup(0), 2);
    EXPECT_EQ(state.presets.stored(3), 1);
    EXPECT_EQ(state.presets.lastStored(3), 1);
    EXPECT_EQ(state.presets.lastStored(7), 0);
    EXPECT_EQ(presets.PanelState(), PresetPanelState::Idle);
}

TEST_F(PresetsTest, PreviewSendsNothingAndConfirmRecallsAndCommits) {
    Route(1, 6, true);
    StoreAs(4);
    Route(1, 2, true);
    presets.SetPanelState(PresetPanelState::Recalling);

    EXPECT_TRUE(presets.RecallPreset(4, Presets::RecallMode::Preview).empty());
    EXPECT_TRUE(presets.RecallPending());
    EXPECT_EQ(state.outputs.videoInput(1), 6);
    EXPECT_EQ(state.outputs.videoTaken(1), 0);
    EXPECT_EQ(state.outputs.audioTaken(15), 0); // every shown output shows as temporary

    EXPECT_EQ(presets.ConfirmRecall(), (Commands{"RPRST 5 1"}));
    EXPECT_FALSE(presets.RecallPending());
    EXPECT_EQ(state.outputs.videoTaken(1), 1);
    EXPECT_EQ(state.prevOutputs.videoInput(1), 6);
    EXPECT_EQ(presets.PanelState(), PresetPanelState::Idle);
}

TEST_F(PresetsTest, CancelRestoresWhatTheFirstPreviewReplaced) {
    Route(0, 1, true);
    Route(1, 3, false); // a temporary route of the switching page
    state.outputs.muted(0) = 1;
    state.groups.outputGroup(0) = 5;
    const OutputStatusTable before = state.outputs;
    const PrevOutputStatusTable committedBefore = state.prevOutputs;
    Route(0, 9, true);
    state.outputs.muted(0) = 0;
    state.groups.outputGroup(0) = 2;
    StoreAs(1);
    Route(0, 10, true);
    StoreAs(6);
    state.outputs = before;
    state.groups.outputGroup(0) = 5;
    state.prevOutputs = committedBefore;
    state.prevOutputs.videoInput(0) = state.prevOutputs.audioInput(0) = 1;

    presets.RecallPreset(1, Presets::RecallMode::Preview); // preset 2
    presets.RecallPreset(6, Presets::RecallMode::Preview); // preset 7 keeps the first backup
    EXPECT_EQ(presets.SelectedPreset(), 6);
    EXPECT_EQ(state.outputs.videoInput(0), 10);
    EXPECT_EQ(state.outputs.muted(0), 0);
    EXPECT_TRUE(presets.CancelRecall());

    EXPECT_FALSE(presets.RecallPending());
    EXPECT_EQ(state.outputs.videoInput(0), 1);
    EXPECT_EQ(state.outputs.videoTaken(0), 1);
    EXPECT_EQ(state.outputs.muted(0), 1);
    EXPECT_EQ(state.outputs.videoTaken(1), 0); // was temporary, is again
    EXPECT_EQ(state.groups.outputGroup(0), 5);
}

TEST_F(PresetsTest, CancelWithoutAPreviewLeavesTheRoutesAlone) {
    Route(2, 7, false); // temporary on the switching page, unknown to any backup
    presets.SetPanelState(PresetPanelState::Recalling);
    const OutputStatusTable before = state.outputs;

    EXPECT_FALSE(presets.CancelRecall());
    EXPECT_EQ(state.outputs.bytes, before.bytes);
    EXPECT_EQ(presets.PanelState(), PresetPanelState::Idle);
}

TEST_F(PresetsTest, ConfirmAfterAStepReplacedThePreviewSendsNothing) {
    StoreAs(4);
    presets.RecallPreset(4, Presets::RecallMode::Preview);
    presets.RecallPreset(4, Presets::RecallMode::Direct);
    EXPECT_TRUE(presets.ConfirmRecall().empty());
}

TEST_F(PresetsTest, DirectRecallSendsAndCommitsAndLeavesThePanelAlone) {
    Route(0, 11, true);
    StoreAs(6);
    Route(0, 2, true);
    presets.SetPanelState(PresetPanelState::Recalling);
    presets.RecallPreset(2, Presets::RecallMode::Preview);

    EXPECT_EQ(presets.RecallPreset(6, Presets::RecallMode::Direct), (Commands{"RPRST 7 0"}));
    EXPECT_FALSE(presets.RecallPending());
    EXPECT_EQ(state.outputs.videoInput(0), 11);
    EXPECT_EQ(state.outputs.videoTaken(0), 1);
    EXPECT_EQ(presets.PanelState(), PresetPanelState::Recalling);
}

// The live preset: the lowest stored preset whose routes are the committed
// routes of every shown output. A temporary route counts as the route it
// would replace; outputs the model does not show and mutes do not count.
TEST_F(PresetsTest, LivePresetIsTheLowestStoredOneHoldingTheCommittedRoutes) {
    state.model.ApplyModelCode(0); // 12 x 4
    for (int o = 0; o < 4; ++o) {
        Route(o, o, true);
        state.prevOutputs.videoInput(o) = state.prevOutputs.audioInput(o) =
            static_cast<std::uint8_t>(o);
    }
    const auto routeOf = [this](int preset, int o) {
        return state.presets.routeImage(preset - 1).subspan(5 * o, 5);
    };
    const struct {
        const char* step;
        std::function<void()> change;
        int live;
    } steps[] = {
        {"nothing stored", [] {}, 0},
        {"preset 6 stored", [&] { StoreAs(5); }, 6},
        {"preset 3 too: the lowest", [&] { StoreAs(2); }, 3},
        {"an output the model lacks", [&] { routeOf(3, 5)[0] = 9; }, 3},
        {"a mute", [&] { state.outputs.muted(2) = 1; }, 3},
        {"a temporary route", [&] { Route(1, 7, false); }, 3},
        {"taken", [&] { switching.Take(); }, 0},
        {"back on input 2", [&] { Route(1, 1, true); }, 3},
        {"preset 3's audio of output 1 differs", [&] { routeOf(3, 0)[1] = 4; }, 6},
        {"committed to no input", [&] { state.outputs.videoInput(3) = NoInput; }, 0},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.change();
        EXPECT_EQ(LivePreset(state), s.live);
    }
}

} // namespace
} // namespace qvc
