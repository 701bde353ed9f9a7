// Setting levels on the page: the slider moved by keys and by the mouse,
// spin clicks and a held spin half, with the exact lines sent, and the flags
// that keep the handlers quiet.
#include "PageFixture.h"
#include "tests/support/WaitFor.h"

namespace qvc::test {
namespace {

using LevelTest = PageFixture;

TEST_F(LevelTest, KeysAndDragsSendEachNewPosition) {
    Build();
    const struct {
        Qt::Key key;
        Lines lines;
        const char* shown;
    } steps[] = {{Qt::Key_Right, {"ALVL 3 201"}, "0"}, {Qt::Key_Right, {"ALVL 3 202"}, "1"},
                 {Qt::Key_End, {"ALVL 3 252"}, "20"},  {Qt::Key_PageDown, {"ALVL 3 242"}, "16"},
                 {Qt::Key_Home, {"ALVL 3 0"}, "-74"},  {Qt::Key_Left, {}, "-74"}};
    for (const auto& step : steps) {
        QTest::keyClick(Slider(3), step.key);
        EXPECT_EQ(Sent(), step.lines);
        EXPECT_EQ(Shown(3), step.shown);
        EXPECT_EQ(state.levels.level(2), Slider(3)->value());
    }
    LevelSlider* slider = Slider(1); // the handle dragged from 0 dB to the right end
    const int y = slider->height() / 2;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->CentreOf(200), y));
    QTest::mouseMove(slider, QPoint(slider->width() - 1, y));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, y));
    EXPECT_EQ(Sent(), Lines{"ALVL 1 252"});
    EXPECT_EQ(Shown(1), "20");
}

TEST_F(LevelTest, SpinClicksStepOneDbFromTheReadOut) {
    const struct {
        int level;
        bool up;
        Lines lines;
        const char* shown;
    } cases[] = {{198, true, {"ALVL 3 201", "ALVL 3 202"}, "1"},
                 {202, false, {"ALVL 3 198"}, "0"},
                 {252, true, {}, "20"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        page.reset();
        state.levels.level(2) = static_cast<std::uint8_t>(c.level);
        Build();
        Refresh();
        QTest::mouseClick(c.up ? Up(3) : Down(3), Qt::LeftButton);
        EXPECT_EQ(Sent(), c.lines);
        EXPECT_EQ(Shown(3), c.shown);
        EXPECT_EQ(Slider(3)->value(), state.levels.level(2));
    }
}

TEST_F(LevelTest, AHeldHalfRepeatsItsStep) {
    state.levels.level(0) = 0;
    Build();
    Refresh();
    QTest::mousePress(Up(1), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([this] { return sent.size() >= 3; }));
    QTest::mouseRelease(Up(1), Qt::LeftButton);
    const Lines lines = Sent();
    ASSERT_GE(lines.size(), 3U);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3), (Lines{"ALVL 1 2", "ALVL 1 5", "ALVL 1 8"}));
    EXPECT_EQ(ReadOut(1)->text().toInt(), -74 + static_cast<int>(lines.size()));
}

TEST_F(LevelTest, FlagsKeepTheHandlersFromSending) {
    Build();
    link.RefreshingFlag = true; // the controls follow, the table keeps its levels
    QTest::keyClick(Slider(2), Qt::Key_End);
    QTest::mouseClick(Down(2), Qt::LeftButton);
    EXPECT_EQ(Shown(2), "19");
    EXPECT_EQ(Slider(2)->value(), 250);
    link.RefreshingFlag = false;
    link.BusyFlag = 1; // the slider itself moves, nothing else happens
    QTest::keyClick(Slider(3), Qt::Key_End);
    QTest::mouseClick(Up(4), Qt::LeftButton);
    EXPECT_EQ(Shown(3), "0");
    EXPECT_EQ(Shown(4), "0");
    EXPECT_EQ(Slider(4)->value(), 200);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(state.levels.bytes, AudioLevelTable::Initial().bytes);
}

// After a disconnect the controls follow the user, but the table keeps the
// switcher's levels: a configuration saved now stores only what it received.
TEST_F(LevelTest, WithoutALinkTheTableKeepsItsLevels) {
    link.EthernetConnected = false;
    Build();
    Refresh();
    QTest::keyClick(Slider(3), Qt::Key_End);
    QTest::mouseClick(Up(5), Qt::LeftButton);
    QTest::mouseClick(Down(6), Qt::LeftButton);
    EXPECT_EQ(Shown(3), "20");
    EXPECT_EQ(Shown(5), "1");
    EXPECT_EQ(Shown(6), "-1");
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(state.levels.bytes, AudioLevelTable::Initial().bytes);

    // Back on a link, the next step starts from what the read-out shows.
    link.SerialConnected = true;
    QTest::mouseClick(Down(3), Qt::LeftButton);
    EXPECT_EQ(Sent(), (Lines{"ALVL 3 249", "ALVL 3 250"}));
    EXPECT_EQ(state.levels.level(2), 250);
}

} // namespace
} // namespace qvc::test
