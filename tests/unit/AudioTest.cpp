// The audio level scale, the 1 dB spin steps and the level operations with
// the lines they send.
#include "model/Audio.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace qvc {
namespace {

TEST(LevelToDb, TellingRows) {
    struct Row {
        int level;
        const char* text;
    };
    const Row rows[] = {{0, "-74"},  {1, "-73"},  {2, "-73"},  {3, "-72"}, {5, "-72"}, {6, "-71"},
                        {194, "-1"}, {195, "-1"}, {196, "0"},  {200, "0"}, {201, "0"}, {202, "1"},
                        {203, "1"},  {250, "19"}, {251, "19"}, {252, "20"}};
    for (const auto& row : rows) {
        EXPECT_EQ(LevelToDbText(row.level), row.text) << "level " << row.level;
    }
    EXPECT_EQ(LevelToDb(196), 0);
    EXPECT_EQ(LevelToDb(0), -74);
    EXPECT_EQ(LevelToDb(252), 20);
}

TEST(LevelToDb, EveryLevelMapsIntoTheScaleAndNeverDecreases) {
    int previous = LevelToDb(0);
    for (int level = 1; level <= 252; ++level) {
        const int db = LevelToDb(level);
        EXPECT_GE(db, previous) << level;
        EXPECT_LE(db, 20);
        previous = db;
    }
    // Six levels read 0 dB.
    int zeros = 0;
    for (int level = 0; level <= 252; ++level) {
        zeros += LevelToDb(level) == 0 ? 1 : 0;
    }
    EXPECT_EQ(zeros, 6);
}

TEST(DbToPosition, SliderPositionsOfWholeDb) {
    EXPECT_EQ(DbToPosition(-74), 0);
    EXPECT_EQ(DbToPosition(-73), 2);
    EXPECT_EQ(DbToPosition(-1), 195);
    EXPECT_EQ(DbToPosition(0), 198);
    EXPECT_EQ(DbToPosition(1), 201);
    EXPECT_EQ(DbToPosition(2), 203);
    EXPECT_EQ(DbToPosition(19), 249);
    EXPECT_EQ(DbToPosition(20), 252);
}

TEST(DbToPosition, AnyIntOutsideTheScaleIsHeldToTheSliderEnds) {
    struct Row {
        int db;
        int position;
    };
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    const Row rows[] = {{21, 252}, {1000, 252}, {kMax - 73, 252}, {kMax, 252},
                        {-75, 0},  {-1000, 0},  {kMin + 74, 0},   {kMin, 0}};
    for (const Row& row : rows) {
        EXPECT_EQ(DbToPosition(row.db), row.position) << "dB " << row.db;
    }
}

TEST(SpinPositions, UpAndDownStepOneDb) {
    using P = std::vector<int>;
    // Up: the position of the new value, and one more above 0 dB.
    EXPECT_EQ(SpinPositions(-74, true), P{2});         // -> -73
    EXPECT_EQ(SpinPositions(-2, true), P{195});        // -> -1
    EXPECT_EQ(SpinPositions(-1, true), P{198});        // -> 0
    EXPECT_EQ(SpinPositions(0, true), (P{201, 202}));  // slider 198: 201 then 202
    EXPECT_EQ(SpinPositions(1, true), (P{203, 204}));  // -> 2
    EXPECT_EQ(SpinPositions(18, true), (P{249, 250})); // -> 19
    EXPECT_EQ(SpinPositions(19, true), (P{252, 252})); // -> 20, held at 252
    // Down.
    EXPECT_EQ(SpinPositions(1, false), P{198}); // slider 202: one ALVL 198
    EXPECT_EQ(SpinPositions(-73, false), P{0});
    EXPECT_EQ(SpinPositions(20, false), (P{249, 250}));
    EXPECT_EQ(SpinPositions(2, false), (P{201, 202}));
}

TEST(SpinPositions, EndsAndOutOfRangeReadOutsDoNothing) {
    EXPECT_TRUE(SpinPositions(20, true).empty());
    EXPECT_TRUE(SpinPositions(21, true).empty());
    EXPECT_TRUE(SpinPositions(-75, true).empty());
    EXPECT_TRUE(SpinPositions(-74, false).empty());
    EXPECT_TRUE(SpinPositions(-80, false).empty());
    EXPECT_TRUE(SpinPositions(21, false).empty());
}

TEST(SpinPositions, EveryStepMovesTheReadOutByExactlyOneDb) {
    for (int db = -74; db < 20; ++db) {
        const auto up = SpinPositions(db, true);
        ASSERT_FALSE(up.empty()) << db;
        EXPECT_EQ(LevelToDb(up.back()), db + 1) << db;
    }
    for (int db = -73; db <= 20; ++db) {
        const auto down = SpinPositions(db, false);
        ASSERT_FALSE(down.empty()) << db;
        EXPECT_EQ(LevelToDb(down.back()), db - 1) << db;
    }
}

std::vector<std::string> LinesOf(const Commands& commands) {
    std::vector<std::string> lines;
    for (const Command& c : commands) {
        lines.push_back(c.line);
    }
    return lines;
}

TEST(SpinAudioLevel, SendsEachPositionThatMovesTheLevel) {
    struct Row {
        int level; // held before the click
        int shownDb;
        bool up;
        std::vector<std::string> lines;
        int after;
    };
    const Row rows[] = {
        {198, 0, true, {"ALVL 3 201", "ALVL 3 202"}, 202},
        {201, 0, true, {"ALVL 3 202"}, 202}, // 201 is held already
        {202, 1, false, {"ALVL 3 198"}, 198},
        {252, 20, false, {"ALVL 3 249", "ALVL 3 250"}, 250},
        {250, 19, true, {"ALVL 3 252"}, 252}, // the second 252 moves nothing
        {252, 20, true, {}, 252},             // the ends of the scale
        {0, -74, false, {}, 0},
        {255, 20, true, {}, 255}, // above the scale, shown at its right end
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.level << (row.up ? " up" : " down"));
        DeviceState state;
        state.levels.level(2) = static_cast<std::uint8_t>(row.level);
        EXPECT_EQ(LinesOf(SpinAudioLevel(state, 2, row.shownDb, row.up)), row.lines);
        EXPECT_EQ(state.levels.level(2), row.after);
        EXPECT_EQ(state.levels.level(1), AudioLevelTable::kStartLevel);
    }
}

} // namespace
} // namespace qvc
