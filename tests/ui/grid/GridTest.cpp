// The crosspoint grid against the switching page it routes through: the
// lines of cell clicks in the three modes, the group rule, Take and Cancel,
// the keyboard, what the cells show and read, the live preset and the model's
// sizes, with the two views compared after each change.
#include "GridFixture.h"

#include <QSignalSpy>

namespace qvc::test {
namespace {

// A route of output `out` to input `in` (1-based): a cell click on the grid,
// or the input and output clicks on the page.
struct Route {
    int out;
    int in;
};

struct ClickCase {
    const char* name;
    int mode; // AVInputRadioGroup item: 0 Audio/Video, 1 Video Only, 2 Audio Only
    std::vector<std::array<int, 3>> committed; // output, video, audio
    std::vector<Route> routes;
    Lines lines;
    std::vector<std::string> rows; // GridRow of outputs 1, 2, 3 afterwards
};

class CellClickTest : public GridFixture, public ::testing::WithParamInterface<ClickCase> {};

// Each case runs twice: on the grid, and by the page's own buttons on a page
// of its own over the same state. Both send the case's lines and leave the
// same routes.
TEST_P(CellClickTest, SendsWhatThePageSendsForTheSameClicks) {
    const ClickCase& c = GetParam();
    for (const auto& [out, video, audio] : c.committed) {
        Committed(out, video, audio);
    }
    PageRig other;
    other.SetModel(3, 1);
    other.state = state;
    BuildGrid();
    ChooseMode(c.mode);
    for (const Route& r : c.routes) {
        ClickCell(r.out, r.in);
    }
    EXPECT_EQ(Sent(), c.lines);
    EXPECT_EQ((std::vector<std::string>{Row(1), Row(2), Row(3)}), c.rows);
    ExpectViewsAgree();

    SwitchingPage otherPage(other.Context());
    PageRig::Show(otherPage);
    auto* radio =
        otherPage.findChild<QRadioButton*>(QStringLiteral("AVInputRadioGroupItem%1").arg(c.mode));
    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
    int selected = kNone;
    for (const Route& r : c.routes) {
        if (r.in != selected) {
            QTest::mouseClick(
                otherPage.findChild<QWidget*>(QStringLiteral("InputButton%1").arg(r.in)),
                Qt::LeftButton);
            selected = r.in;
        }
        QTest::mouseClick(
            otherPage.findChild<QWidget*>(QStringLiteral("OutputButton%1").arg(r.out)),
            Qt::LeftButton);
    }
    EXPECT_EQ(other.Sent(), c.lines);
    EXPECT_EQ(other.state.outputs.bytes, state.outputs.bytes);
}

INSTANTIATE_TEST_SUITE_P(Modes, CellClickTest,
                         ::testing::Values(ClickCase{"AudioVideoRoutesRevertsAndRoutesAgain",
                                                     0,
                                                     {{2, 5, 5}},
                                                     {{2, 1}, {2, 1}, {2, 1}},
                                                     {"RTEMP 2 1 1", "TAKE 0", "RTEMP 2 1 1"},
                                                     {"", "1:tVA 5:cVA", ""}},
                                           ClickCase{"AudioVideoOverTwoInputs",
                                                     0,
                                                     {{1, 5, 5}, {3, 4, 4}},
                                                     {{1, 2}, {3, 2}, {1, 7}},
                                                     {"RTEMP 1 2 2", "RTEMP 3 2 2", "RTEMP 1 7 7"},
                                                     {"5:cVA 7:tVA", "", "2:tVA 4:cVA"}},
                                           ClickCase{"VideoOnlyLeavesTheAudio",
                                                     1,
                                                     {{1, kNone, 7}, {2, 3, 3}},
                                                     {{1, 3}, {2, 3}},
                                                     {"RTEMP 1 3 101", "RTEMP 2 0 101"},
                                                     {"3:tV 7:cA", "3:cVA", ""}},
                                           ClickCase{"AudioOnlyRoutesAndReverts",
                                                     2,
                                                     {{2, 1, 4}},
                                                     {{2, 1}, {2, 1}, {2, 6}},
                                                     {"RTEMP 2 101 1", "TAKE 0", "RTEMP 2 101 6"},
                                                     {"", "1:cV 4:cA 6:tA", ""}}),
                         [](const ::testing::TestParamInfo<ClickCase>& tested) {
                             return std::string(tested.param.name);
                         });

using GridTest = GridFixture;

// The colour a cell shows, left of its centred mark.
std::string CellColour(QWidget* cell) {
    const QImage image = cell->grab().toImage();
    return image.pixelColor(image.width() / 6, image.height() / 2).name().toStdString();
}

TEST_F(GridTest, TheGroupRuleRepeatsAClickAndClosesForeignInputs) {
    // Group 1: outputs 1, 3 and 4, any input. Group 2: output 5, input 1 only.
    for (int out : {1, 3, 4}) {
        state.groups.outputGroup(out - 1) = 0;
    }
    state.groups.outputGroup(4) = 1;
    state.groups.setInputCount(1, 1);
    state.groups.inputMember(1, 0) = 1;
    BuildGrid();
    ChooseMode(1);

    ClickCell(3, 2);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 3 2 101", "RTEMP 1 2 101", "RTEMP 4 2 101"}));
    for (int out : {1, 3, 4}) {
        EXPECT_EQ(Row(out), "2:tV") << out;
    }
    EXPECT_EQ(Row(2), "");

    EXPECT_TRUE(Cell(5, 1)->isEnabled());
    for (int in = 2; in <= 16; ++in) {
        EXPECT_FALSE(Cell(5, in)->isEnabled()) << in;
    }
    QTest::mouseClick(Cell(5, 3), Qt::LeftButton); // closed: nothing happens
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Row(5), "");
    ClickCell(5, 1);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 5 1 101"}));
    ExpectViewsAgree();
}

TEST_F(GridTest, TakeAndCancelAreThePagesAndTheCellsShowTheirColours) {
    Committed(1, 4, 4);
    BuildGrid();
    ClickCell(1, 2);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 2 2"}));
    EXPECT_EQ(Row(1), "2:tVA 4:cVA");
    EXPECT_EQ(CellColour(Cell(1, 2)), kRed.toStdString());
    EXPECT_EQ(CellColour(Cell(1, 4)), kLime.toStdString());
    EXPECT_EQ(Cell(1, 2)->text(), QStringLiteral("VA"));

    ClickGrid("GridTakeButton");
    EXPECT_EQ(Sent(), (Lines{"TAKE 1"}));
    EXPECT_EQ(Row(1), "2:cVA");
    EXPECT_EQ(CellColour(Cell(1, 2)), kLime.toStdString());
    EXPECT_EQ(CellColour(Cell(1, 4)), Face().toStdString());
    ExpectViewsAgree();

    ChooseMode(2);
    ClickCell(1, 9);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 101 9"}));
    EXPECT_EQ(Row(1), "2:cVA 9:tA");
    ExpectViewsAgree();
    ClickGrid("GridCancelButton");
    EXPECT_EQ(Sent(), (Lines{"TAKE 0"}));
    EXPECT_EQ(Row(1), "2:cVA");
    ExpectViewsAgree();
}

TEST_F(GridTest, PageClicksPresetPreviewsAndCancelsShowOnTheGrid) {
    Committed(1, 3, 3);
    StoredPreset(2, 9); // output 1 to input 9
    BuildGrid();

    Click("InputButton", 6);
    Click("OutputButton", 2);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 2 6 6"}));
    EXPECT_EQ(Row(2), "6:tVA");
    ExpectViewsAgree();
    Click("TakeButton");
    EXPECT_EQ(Sent(), (Lines{"TAKE 1"}));
    EXPECT_EQ(Row(2), "6:cVA");

    Click("PresetsRecallButton");
    Click("PresetButton", 2);
    EXPECT_TRUE(Sent().empty()); // a preview is not sent
    EXPECT_EQ(Row(1), "3:cVA 9:tVA");
    ExpectViewsAgree();
    ClickGrid("GridCancelButton"); // cancels the preview
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Row(1), "3:cVA");
    ExpectViewsAgree();

    Click("PresetsRecallButton");
    Click("PresetButton", 2);
    ClickGrid("GridTakeButton"); // confirms it
    EXPECT_EQ(Sent(), (Lines{"RPRST 2 1"}));
    EXPECT_EQ(Row(1), "9:cVA");
    ExpectViewsAgree();

    Click("ClearAllRoutingButton");
    EXPECT_EQ(Sent(), (Lines{"CLEAR"}));
    EXPECT_EQ(Row(1), "");
    ExpectViewsAgree();
}

TEST_F(GridTest, ArrowsMoveSpaceRoutesEnterTakesEscapeCancels) {
    Committed(2, 1, 1);
    BuildGrid();
    Cell(1, 1)->setFocus();
    const auto key = [this](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };

    key(Qt::Key_Left); // at the edge: stays
    key(Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), Cell(1, 1));
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    key(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), Cell(2, 3));
    key(Qt::Key_Space);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 2 3 3"}));
    EXPECT_EQ(Row(2), "1:cVA 3:tVA");
    key(Qt::Key_Return);
    EXPECT_EQ(Sent(), (Lines{"TAKE 1"}));
    EXPECT_EQ(Row(2), "3:cVA");

    key(Qt::Key_Down);
    key(Qt::Key_Space);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 3 3 3"}));
    key(Qt::Key_Escape);
    EXPECT_EQ(Sent(), (Lines{"TAKE 0"}));
    EXPECT_EQ(Row(3), "");
    EXPECT_TRUE(grid->isVisible()); // Escape cancels; it does not close
    ExpectViewsAgree();

    // Enter on the grid's Cancel button presses that button, not Take.
    Cell(4, 4)->setFocus();
    key(Qt::Key_Space);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 4 4 4"}));
    grid->findChild<QWidget*>(QStringLiteral("GridCancelButton"))->setFocus();
    key(Qt::Key_Enter);
    EXPECT_EQ(Sent(), (Lines{"TAKE 0"}));
}

TEST_F(GridTest, CellsAndHeadersReadWhatTheyShow) {
    labels.outputs[2] = "PROJ";
    labels.inputs[4] = "CAM";
    Committed(3, 5, 5);
    Committed(1, 2, 7);
    state.outputs.muted(2) = 1;
    BuildGrid();
    const auto name = [this](int out, int in) {
        return Cell(out, in)->accessibleName().toStdString();
    };

    EXPECT_EQ(name(3, 5), "Output 3 (PROJ), input 5 (CAM): committed video and audio");
    EXPECT_EQ(name(3, 4), "Output 3 (PROJ), input 4 (4)");
    EXPECT_EQ(name(1, 2), "Output 1 (1), input 2 (2): committed video");
    EXPECT_EQ(name(1, 7), "Output 1 (1), input 7 (7): committed audio");
    EXPECT_EQ(grid->findChild<QLabel*>(QStringLiteral("GridOutputHeader3"))->accessibleName(),
              QStringLiteral("Output 3 (PROJ), muted"));
    EXPECT_EQ(grid->findChild<QLabel*>(QStringLiteral("GridMuteMark3"))->text(),
              QStringLiteral("Muted"));
    EXPECT_EQ(grid->findChild<QLabel*>(QStringLiteral("GridMuteMark1"))->text(), QString());
    EXPECT_EQ(grid->findChild<QLabel*>(QStringLiteral("GridInputHeader5"))->text(),
              QStringLiteral("5\nCAM"));

    ChooseMode(1);
    ClickCell(3, 5); // video back to no input: the cell still shows the committed route
    ChooseMode(2);
    ClickCell(3, 1);
    EXPECT_EQ(name(3, 1), "Output 3 (PROJ), input 1 (1): temporary audio");
    ChooseMode(0);
    ClickCell(3, 6);
    EXPECT_EQ(name(3, 6), "Output 3 (PROJ), input 6 (6): temporary video and audio");
    ClickCell(3, 6); // back to what is committed
    ClickCell(3, 5); // taken to no input
    ClickCell(3, 5); // and routed again: still temporary
    EXPECT_EQ(
        name(3, 5),
        "Output 3 (PROJ), input 5 (CAM): committed video and audio, temporary video and audio");
    EXPECT_EQ(Cell(3, 5)->text(), QStringLiteral("VA"));
    EXPECT_EQ(grid->findChild<QLabel*>(QStringLiteral("GridInputHeader5"))->accessibleName(),
              QStringLiteral("Input 5 (CAM), selected"));

    // Unmuted from the page: the row loses its mark.
    Click("OutputMuteCheckBox", 3);
    EXPECT_EQ(Sent().back(), "OMUTE 3 0");
    EXPECT_EQ(grid->findChild<QLabel*>(QStringLiteral("GridOutputHeader3"))->accessibleName(),
              QStringLiteral("Output 3 (PROJ)"));
}

TEST_F(GridTest, TheStatusLineNamesTheLivePreset) {
    Committed(1, 3, 3);
    StoredPreset(2, 9);
    StoredPreset(4, 3);
    labels.presets[3] = "LECT";
    BuildGrid();
    auto* status = grid->findChild<QLabel*>(QStringLiteral("GridLivePresetLabel"));
    EXPECT_EQ(status->text(), QStringLiteral("Live preset: 4 (LECT)"));
    EXPECT_EQ(status->accessibleName(), status->text());

    ClickCell(1, 9);
    EXPECT_EQ(status->text(), QStringLiteral("Live preset: 4 (LECT)")); // temporary: not yet
    ClickGrid("GridTakeButton");
    EXPECT_EQ(status->text(), QStringLiteral("Live preset: 2 (2)"));
    ClickCell(1, 5);
    ClickGrid("GridTakeButton");
    EXPECT_EQ(status->text(), QStringLiteral("No preset live"));
}

TEST_F(GridTest, TheGridFollowsTheModel) {
    SetModel(0, 1); // 12 x 4
    BuildGrid();
    const auto exists = [this](int out, int in) {
        return GridCell(grid.get(), out, in) != nullptr;
    };
    EXPECT_TRUE(exists(4, 12));
    EXPECT_FALSE(exists(5, 1));
    EXPECT_FALSE(exists(1, 13));
    EXPECT_EQ(grid->findChildren<CrosspointCell*>().size(), 48);

    Cell(2, 7)->setFocus();
    SetModel(3, 1); // 16 x 16, as a read-back reports it
    list->RefreshFromState();
    EXPECT_TRUE(exists(16, 16));
    EXPECT_EQ(grid->findChildren<CrosspointCell*>().size(), 256);
    EXPECT_EQ(QApplication::focusWidget(), Cell(2, 7)); // the focus stays on its cell
    ClickCell(16, 16);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 16 16 16"}));
}

} // namespace
} // namespace qvc::test
