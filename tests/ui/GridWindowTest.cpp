// The "Crosspoint Grid" window in the main window, against the simulator
// over TCP: the View menu and Ctrl+G, and the grid and the switching page in
// step after clicks on either, a read-back, a preset preview and a
// configuration load; a 12 x 4 switcher's grid.
#include "FormRig.h"
#include "tests/ui/grid/GridFixture.h"

#include <QMenuBar>

namespace qvc::test {
namespace {

const QString kLoaded =
    QStringLiteral("File open successful. Quorvel Command updated with settings from file.");

class GridWindowTest : public ::testing::Test {
  protected:
    void Start(int model) {
        auto& sim = rig.StartSim({.model = model, .tcp = true});
        sim_ = &sim;
        rig.CreateForm(&sim);
        rig.ConnectEthernet();
        rig.ClickTab(QStringLiteral("A / V Switching"));
        sim.ClearReceivedLines();
        rig.Form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.Form()));
    }
    // Ctrl+G on the main window.
    void OpenGrid() {
        QTest::keyClick(&rig.Form(), Qt::Key_G, Qt::ControlModifier);
        grid = rig.Form().findChild<CrosspointGridWindow*>(QStringLiteral("CrosspointGridWindow"));
        ASSERT_NE(grid, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid));
    }
    // The `n` lines the simulator received since the last call.
    Lines Received(std::size_t n) {
        EXPECT_TRUE(sim_->WaitForLines(n, 5000));
        Lines lines = sim_->ReceivedLines();
        sim_->ClearReceivedLines();
        return lines;
    }
    void Click(const QString& name) {
        auto* w = rig.Find<QWidget>(name);
        ASSERT_TRUE(w != nullptr && w->isVisible() && w->isEnabled()) << name.toStdString();
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void ClickCell(int out, int in) {
        CrosspointCell* cell = GridCell(grid, out, in);
        ASSERT_NE(cell, nullptr);
        QTest::mouseClick(cell, Qt::LeftButton);
    }
    std::string Row(int out) { return GridRow(grid, out, rig.Form().State().Inputs()); }
    void ExpectViewsAgree(const char* after) {
        const int outputs = rig.Form().State().ShownOutputs();
        ASSERT_GT(outputs, 0);
        for (int out = 1; out <= outputs; ++out) {
            EXPECT_EQ(GridCarries(grid, out, rig.Form().State().Inputs()),
                      PageCarries(&rig.Form(), out))
                << "output " << out << " after " << after;
        }
    }

    QTemporaryDir dir;
    FormRig rig;
    qvsim::SimThread* sim_ = nullptr;
    CrosspointGridWindow* grid = nullptr;
};

TEST_F(GridWindowTest, TheViewMenuOpensOneGridWithCtrlG) {
    Start(3);
    QStringList menus;
    for (const QAction* a : rig.Form().menuBar()->actions()) {
        menus << a->text();
    }
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Serial Port"),
                                  QStringLiteral("&View"), QStringLiteral("&About")}));
    QAction* item = rig.Action(QStringLiteral("CrosspointGrid1"));
    EXPECT_EQ(item->text(), QStringLiteral("Crosspoint Grid"));
    EXPECT_EQ(item->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));

    OpenGrid();
    EXPECT_EQ(grid->windowTitle(), QStringLiteral("Crosspoint Grid"));
    EXPECT_EQ(grid->findChildren<CrosspointCell*>().size(), 256);
    grid->close();
    item->trigger();
    EXPECT_TRUE(grid->isVisible());
    EXPECT_EQ(rig.Form().findChildren<CrosspointGridWindow*>().size(), 1);
    EXPECT_TRUE(sim_->ReceivedLines().empty());
}

TEST_F(GridWindowTest, BothViewsAgreeAfterEveryKindOfChange) {
    Start(3);
    OpenGrid();
    ExpectViewsAgree("the read-back at the start");

    Click(QStringLiteral("InputButton3"));
    Click(QStringLiteral("OutputButton7"));
    EXPECT_EQ(Received(1), (Lines{"RTEMP 7 3 3"}));
    EXPECT_EQ(Row(7), "3:tVA");
    ExpectViewsAgree("a page click");

    ClickCell(4, 5); // the demo groups outputs 3 and 4; 3 carries input 5
    EXPECT_EQ(Received(2), (Lines{"RTEMP 4 5 5", "RTEMP 3 0 0"}));
    ExpectViewsAgree("a grid click");
    QTest::mouseClick(grid->findChild<QWidget*>(QStringLiteral("GridTakeButton")), Qt::LeftButton);
    EXPECT_EQ(Received(1), (Lines{"TAKE 1"}));
    EXPECT_EQ(Row(4), "5:cVA");
    EXPECT_EQ(Row(3), "");
    ExpectViewsAgree("Take");

    // Changed at the switcher itself, then read back.
    sim_->FrontPanel("RTEMP 6 9 9");
    sim_->FrontPanel("TAKE 1");
    rig.Action(QStringLiteral("ReadfromQuorvels1"))->trigger();
    EXPECT_EQ(Row(6), "9:cVA");
    ExpectViewsAgree("a read-back");
    sim_->ClearReceivedLines();

    // A preview of the first stored preset.
    Click(QStringLiteral("PresetsRecallButton"));
    int preset = 1;
    while (preset <= 16 &&
           !rig.Find<QWidget>(QStringLiteral("PresetButton%1").arg(preset))->isEnabled()) {
        ++preset;
    }
    ASSERT_LE(preset, 16) << "the demo switcher stores presets";
    Click(QStringLiteral("PresetButton%1").arg(preset));
    ExpectViewsAgree("a preset preview");
    bool temporary = false;
    for (CrosspointCell* cell : grid->findChildren<CrosspointCell*>()) {
        temporary = temporary || cell->View().temporaryVideo || cell->View().temporaryAudio;
    }
    EXPECT_TRUE(temporary) << "the preview shows as temporary routes";
    QTest::mouseClick(grid->findChild<QWidget*>(QStringLiteral("GridCancelButton")),
                      Qt::LeftButton);
    EXPECT_EQ(Row(6), "9:cVA");
    ExpectViewsAgree("a cancelled preview");

    // A configuration saved now and loaded after another route.
    const QString file = dir.filePath(QStringLiteral("routes.cfg"));
    rig.prompts.ExpectSaveFile(file);
    rig.Action(QStringLiteral("SaveConfigurationtoFile1"))->trigger();
    ClickCell(6, 1);
    QTest::mouseClick(grid->findChild<QWidget*>(QStringLiteral("GridTakeButton")), Qt::LeftButton);
    EXPECT_EQ(Received(2), (Lines{"RTEMP 6 1 1", "TAKE 1"}));
    EXPECT_EQ(Row(6), "1:cVA");
    rig.prompts.ExpectOpenFile(file);
    rig.prompts.ExpectMessage(kLoaded);
    rig.Action(QStringLiteral("OpenConfigurationFile1"))->trigger();
    rig.prompts.VerifyAllUsed();
    EXPECT_EQ(Row(6), "9:cVA");
    ExpectViewsAgree("a configuration load");
    EXPECT_TRUE(sim_->ReceivedLines().empty()); // a load sends nothing
}

TEST_F(GridWindowTest, ASmallSwitcherHasFourRowsOfTwelve) {
    Start(0);
    OpenGrid();
    EXPECT_EQ(grid->findChildren<CrosspointCell*>().size(), 48);
    EXPECT_NE(GridCell(grid, 4, 12), nullptr);
    EXPECT_EQ(GridCell(grid, 5, 1), nullptr);
    EXPECT_EQ(GridCell(grid, 1, 13), nullptr);
    ExpectViewsAgree("the read-back of a 12 x 4");
    ClickCell(4, 12); // its committed route: taken to no input, and its group's output 3 routed
    EXPECT_EQ(Received(2), (Lines{"RTEMP 4 0 0", "RTEMP 3 12 12"}));
    EXPECT_EQ(rig.Find<QLabel>(QStringLiteral("GridNoInputMark4"))->text(), QStringLiteral("--VA"));
    ExpectViewsAgree("a grid click");
}

} // namespace
} // namespace qvc::test
