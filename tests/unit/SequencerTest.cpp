// The preset sequencer's stepping: the lines of Start and each step, the
// running row and its delay, a run of one row, refused Starts and the checks
// of the row edits.
#include "model/Sequencer.h"

#include <gtest/gtest.h>

namespace qvc {
namespace {

class SequencerTest : public ::testing::Test {
  protected:
    SequencerTest() {
        state.model.ApplyModelCode(3);
        for (int n : {4, 7}) { // output 1 on input n + 1
            state.outputs.videoInput(0) = static_cast<std::uint8_t>(n);
            presets.StorePreset(n - 1);
        }
        state.presets.stored(6) = 2; // any non-zero byte is stored
        rows[1] = {true, "4", "3"};
        rows[2] = {false, "abc", "x"}; // unticked rows are not checked
        rows[4] = {true, "7", "10"};
    }

    DeviceState state;
    Switching switching{state};
    Presets presets{state, switching};
    Sequencer sequencer{presets};
    SequenceEntries rows{};
};

TEST_F(SequencerTest, TickedRowsAlternateWithTheirOwnDelays) {
    const auto start = sequencer.Start(rows);
    EXPECT_EQ(start.commands, (Commands{"RPRST 4 0"}));
    EXPECT_EQ(start.intervalMs, 3000);
    EXPECT_EQ(sequencer.CurrentRow(), 1);
    EXPECT_EQ(state.outputs.videoInput(0), 4);

    for (const auto& [line, ms, row] :
         {std::tuple{"RPRST 7 0", 10000, 4}, {"RPRST 4 0", 3000, 1}}) {
        const auto step = sequencer.Step();
        EXPECT_EQ(step.commands, (Commands{line}));
        EXPECT_EQ(step.intervalMs, ms);
        EXPECT_EQ(sequencer.CurrentRow(), row);
    }
    sequencer.Stop();
    EXPECT_FALSE(sequencer.Step().recalled);
}

TEST_F(SequencerTest, OneRowIsRecalledOnceAndHeld) {
    rows = {};
    rows[5] = {true, "7", "3"};
    EXPECT_EQ(sequencer.Start(rows).commands, (Commands{"RPRST 7 0"}));
    EXPECT_FALSE(sequencer.Step().recalled);
    EXPECT_EQ(sequencer.State(), Sequencer::Run::Holding);
}

// A refused Start names the edit and leaves the running sequence whole.
TEST_F(SequencerTest, RefusedStartsNameTheEdit) {
    ASSERT_TRUE(sequencer.Start(rows).started);
    using F = Sequencer::Field;
    const struct {
        int row;
        SequenceRowEntry entry;
        const char* message;
        F field;
    } cases[] = {
        {-1, {}, "Error! No Preset Sequence enabled.", F::PresetNumber},
        {4,
         {true, "9", "3"},
         "Error! Preset #'9' is currently empty. Select a different Preset number",
         F::PresetNumber},
        {4, {true, "7", "2"}, "Error! Delay number out of limits (3-9999)", F::Delay},
    };
    for (const auto& c : cases) {
        SequenceEntries entries{};
        if (c.row >= 0) {
            entries = rows;
            entries[static_cast<std::size_t>(c.row)] = c.entry;
        }
        const auto result = sequencer.Start(entries);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.row, c.row) << c.message;
        EXPECT_EQ(result.field, c.field) << c.message;
        EXPECT_TRUE(result.commands.empty());
    }
    EXPECT_EQ(sequencer.Step().commands, (Commands{"RPRST 7 0"}));
}

TEST_F(SequencerTest, EditTexts) {
    const struct {
        bool delay;
        const char* text;
        const char* message; // empty: passes
    } cases[] = {
        {false, "16", ""},
        {false, " 5", ""},
        {false, "0", "Error! Preset number out of limits (1-16)"},
        {false, "17", "Error! Preset number out of limits (1-16)"},
        {false, "x1", "Error! 'x1' is not a valid Preset number."},
        {false, "", "Error! '' is not a valid Preset number."},
        {true, "9999", ""},
        {true, "2", "Error! Delay number out of limits (3-9999)"},
        {true, "99999999999", "Error! Delay number out of limits (3-9999)"},
        {true, "abc", "Error! 'abc' is not a valid Delay number."},
        {true, "1.5", "Error! '1.5' is not a valid Delay number."},
    };
    for (const auto& c : cases) {
        const EditCheck check = c.delay ? CheckDelayText(c.text) : CheckPresetText(c.text);
        EXPECT_EQ(check.message, c.message) << c.text;
    }
    EXPECT_EQ(CheckPresetText(" 5").value, 5);
}

} // namespace
} // namespace qvc
