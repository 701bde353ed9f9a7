// The preset sequencer's stepping: what Start and each step send, which row
// runs, the delays, a run of one row, and the checks of the row edits.
#include "model/Sequencer.h"

#include <gtest/gtest.h>

namespace qvc {
namespace {

class SequencerTest : public ::testing::Test {
  protected:
    SequencerTest() { state.model.ApplyModelCode(3); }

    // Preset n (1-based) stored with output 1 on input k (1-based).
    void StorePreset(int n, int k) {
        state.outputs.videoInput(0) = state.outputs.audioInput(0) =
            static_cast<std::uint8_t>(k - 1);
        presets.StorePreset(n - 1);
    }
    // Row r (1-based) ticked with the two texts.
    void Tick(int r, const char* preset, const char* delay) {
        rows[static_cast<std::size_t>(r - 1)] = {true, preset, delay};
    }

    DeviceState state;
    Switching switching{state};
    Presets presets{state, switching};
    Sequencer sequencer{presets};
    SequenceEntries rows{};
};

TEST_F(SequencerTest, TwoRowsAlternateWithTheirOwnDelays) {
    StorePreset(4, 2);
    StorePreset(7, 9);
    Tick(2, "4", "3");
    Tick(5, "7", "10");
    rows[2] = {false, "abc", "x"}; // unticked rows are not checked

    const auto start = sequencer.Start(rows);
    ASSERT_TRUE(start.started) << start.message;
    EXPECT_EQ(start.commands, (Commands{"RPRST 4 0"}));
    EXPECT_EQ(start.intervalMs, 3000);
    EXPECT_EQ(sequencer.CurrentRow(), 1);
    EXPECT_EQ(state.outputs.videoInput(0), 1);

    const auto second = sequencer.Step();
    EXPECT_EQ(second.commands, (Commands{"RPRST 7 0"}));
    EXPECT_EQ(second.intervalMs, 10000);
    EXPECT_EQ(sequencer.CurrentRow(), 4);
    EXPECT_EQ(state.outputs.videoInput(0), 8);

    const auto third = sequencer.Step();
    EXPECT_EQ(third.commands, (Commands{"RPRST 4 0"}));
    EXPECT_EQ(third.intervalMs, 3000);
    EXPECT_EQ(sequencer.CurrentRow(), 1);

    sequencer.Stop();
    EXPECT_FALSE(sequencer.Step().recalled);
}

TEST_F(SequencerTest, OneRowIsRecalledOnceAndHeld) {
    StorePreset(2, 5);
    Tick(6, "2", "3");

    EXPECT_EQ(sequencer.Start(rows).commands, (Commands{"RPRST 2 0"}));
    EXPECT_EQ(sequencer.Step().recalled, false);
    EXPECT_EQ(sequencer.State(), Sequencer::Run::Holding);
    EXPECT_TRUE(sequencer.Step().commands.empty());
    EXPECT_EQ(sequencer.CurrentRow(), 5);
}

TEST_F(SequencerTest, RefusedStartsSendNothingAndNameTheEdit) {
    StorePreset(3, 1);
    struct Case {
        std::vector<SequenceRowEntry> ticked; // rows 1, 2, ...
        const char* message;
        int row;
        Sequencer::Field field;
    };
    using F = Sequencer::Field;
    const Case cases[] = {
        {{}, "Error! No Preset Sequence enabled.", -1, F::PresetNumber},
        {{{true, "3", "3"}, {true, "9", "3"}},
         "Error! Preset #'9' is currently empty. Select a different Preset number",
         1,
         F::PresetNumber},
        {{{true, "3", "2"}}, "Error! Delay number out of limits (3-9999)", 0, F::Delay},
        {{{true, "17", "x"}}, "Error! Preset number out of limits (1-16)", 0, F::PresetNumber},
    };
    for (const Case& c : cases) {
        SequenceEntries entries{};
        std::copy(c.ticked.begin(), c.ticked.end(), entries.begin());
        const auto result = sequencer.Start(entries);
        EXPECT_FALSE(result.started);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.row, c.row) << c.message;
        EXPECT_EQ(result.field, c.field) << c.message;
        EXPECT_TRUE(result.commands.empty());
        EXPECT_EQ(sequencer.State(), Sequencer::Run::Stopped);
    }
}

TEST_F(SequencerTest, RefusedStartLeavesTheRunningSequenceWhole) {
    StorePreset(4, 2);
    StorePreset(7, 9);
    Tick(2, "4", "3");
    Tick(5, "7", "10");
    ASSERT_TRUE(sequencer.Start(rows).started);

    Tick(5, "7", "2");
    EXPECT_FALSE(sequencer.Start(rows).started);
    EXPECT_EQ(sequencer.EnabledRowCount(), 2);
    EXPECT_EQ(sequencer.Step().commands, (Commands{"RPRST 7 0"}));
}

TEST_F(SequencerTest, EditTexts) {
    struct Case {
        bool delay;
        const char* text;
        int value;           // when it passes
        const char* message; // when it is refused
    };
    const Case cases[] = {
        {false, "1", 1, ""},
        {false, "16", 16, ""},
        {false, " 5", 5, ""},
        {false, "0", 0, "Error! Preset number out of limits (1-16)"},
        {false, "17", 0, "Error! Preset number out of limits (1-16)"},
        {false, "-1", 0, "Error! Preset number out of limits (1-16)"},
        {false, "x1", 0, "Error! 'x1' is not a valid Preset number."},
        {false, "", 0, "Error! '' is not a valid Preset number."},
        {true, "3", 3, ""},
        {true, "9999", 9999, ""},
        {true, "2", 0, "Error! Delay number out of limits (3-9999)"},
        {true, "99999999999", 0, "Error! Delay number out of limits (3-9999)"},
        {true, "abc", 0, "Error! 'abc' is not a valid Delay number."},
        {true, "1.5", 0, "Error! '1.5' is not a valid Delay number."},
        {true, "+", 0, "Error! '+' is not a valid Delay number."},
    };
    for (const Case& c : cases) {
        const EditCheck check = c.delay ? CheckDelayText(c.text) : CheckPresetText(c.text);
        EXPECT_EQ(check.message, c.message) << c.text;
        if (check.Passed()) {
            EXPECT_EQ(check.value, c.value) << c.text;
        }
    }
}

} // namespace
} // namespace qvc
