// The window as it starts, its pages, menus, About page and dialog, the
// pop-up, the exit question and the error guard of the event loop.
#include "FormRig.h"
#include "ui/GuardedApplication.h"
#include "ui/common/StatusLamp.h"
#include "ui/about/TerminalView.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <stdexcept>

namespace qvc::test {
namespace {

using Kind = PromptRecord::Kind;
const QString kExitTitle = QStringLiteral("Norvak Dellby - QV Control :Confirm Exit");
const QString kExitText = QStringLiteral("Are you sure you want to exit this application?");

QStringList MenuTexts(const QWidget* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions()) {
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text().remove(QLatin1Char('&')));
    }
    return texts;
}

QRgb CentrePixel(QWidget* w) {
    const QImage image = w->grab().toImage();
    return image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF;
}

TEST(ShellTest, TheWindowStartsWithItsCaptionPagesAndStartValues) {
    FormRig rig;
    rig.CreateForm(nullptr);
    TMatrixForm& form = rig.Form();

    EXPECT_EQ(form.windowTitle(), kStartCaption);
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // fixed size
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    const double scale = form.screen()->logicalDotsPerInch() / 120.0;
    EXPECT_NEAR(form.width(), 904 * scale, 1.0);
    EXPECT_NEAR(form.height() - form.menuBar()->sizeHint().height(), 760 * scale, 1.0);

    auto* pages = rig.Find<QTabWidget>(QStringLiteral("MainPageControl"));
    const QStringList captions = {"A / V Switching", "Audio Controls", "Labeling", "Grouping",
                                  "Sequencing",      "Setup",          "About"};
    ASSERT_EQ(pages->count(), captions.size());
    for (int i = 0; i < pages->count(); ++i) {
        EXPECT_EQ(pages->tabText(i), captions[i]);
    }
    EXPECT_EQ(pages->currentIndex(), 0);
    for (const char* name :
         {"ControlTabSheet", "AudioTabSheet", "LabelTabSheet", "GroupingTabSheet",
          "SequencingTabSheet", "SetupTabSheet", "AboutTabSheet"}) {
        EXPECT_NE(form.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(rig.Find<QGroupBox>(QStringLiteral("PresetsGroupBox"))->title(),
              QStringLiteral("Preset Save/Recall"));
    EXPECT_EQ(rig.StatusText(), QString());

    // About page before any switcher was read.
    EXPECT_EQ(rig.Text(QStringLiteral("Label82")), QStringLiteral("Quorvel Control GUI"));
    EXPECT_EQ(rig.Text(QStringLiteral("Label83")), QStringLiteral("GUI Version :"));
    EXPECT_EQ(rig.Text(QStringLiteral("Version1Label")), QStringLiteral("3.01"));
    EXPECT_EQ(rig.Text(QStringLiteral("Label111")), QStringLiteral("Firmware Version :"));
    EXPECT_EQ(rig.Text(QStringLiteral("FirmwareVersionLabel")), QStringLiteral("N/A"));
    EXPECT_EQ(rig.Text(QStringLiteral("ComNumberLabel")), QStringLiteral("None"));
    EXPECT_EQ(rig.Find<QGroupBox>(QStringLiteral("RS232GroupBox"))->title(),
              QStringLiteral("RS-232"));
    EXPECT_FALSE(rig.Text(QStringLiteral("Label103")).isEmpty());

    // Start values of the state.
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(form.State().levels.level(i), 200) << i;
        EXPECT_EQ(form.State().outputs.videoInput(i), 252) << i;
    }
    EXPECT_EQ(form.State().Inputs(), 16);
    EXPECT_EQ(form.State().ShownOutputs(), 16);
    EXPECT_EQ(form.Flags().BusyFlag, 0);
    EXPECT_FALSE(form.Flags().RefreshingFlag); // set when first shown

    // Label edits: "1".."16", at most 6 characters, captions beside them.
    for (const char* kind : {"Input", "Output", "Group", "Preset"}) {
        for (int n = 1; n <= 16; ++n) {
            auto* edit = rig.Find<QLineEdit>(
                QStringLiteral("%1LabelEdit%2").arg(QLatin1String(kind)).arg(n));
            EXPECT_EQ(edit->text(), QString::number(n));
            EXPECT_EQ(edit->maxLength(), 6);
            EXPECT_EQ(rig.Text(QStringLiteral("%1LabelCaption%2").arg(QLatin1String(kind)).arg(n)),
                      QStringLiteral("%1 %2").arg(QLatin1String(kind)).arg(n));
        }
    }
    auto* inputTabs = rig.Find<QTabWidget>(QStringLiteral("InputLabelPageControl"));
    EXPECT_EQ(inputTabs->tabText(0), QStringLiteral("Input 1 - 16"));
    EXPECT_EQ(rig.Find<QTabWidget>(QStringLiteral("PresetLabelPageControl"))->tabText(0),
              QStringLiteral("Preset 1 - 16"));
}

TEST(ShellTest, TheMenusHoldTheirItemsInOrderWithTheirStartStates) {
    FormRig rig;
    rig.CreateForm(nullptr);
    EXPECT_EQ(MenuTexts(rig.Form().menuBar()),
              QStringList({"File", "Serial Port", "View", "About"}));
    EXPECT_EQ(MenuTexts(rig.Find<QMenu>(QStringLiteral("View1"))),
              QStringList({"Crosspoint Grid", "Wire Log"}));
    EXPECT_EQ(MenuTexts(rig.Find<QMenu>(QStringLiteral("File1"))),
              QStringList({"Open Configuration File", "Save Configuration to File", "-", "Exit"}));
    EXPECT_EQ(MenuTexts(rig.Find<QMenu>(QStringLiteral("Search1"))),
              QStringList({"Open COM", "Settings (Adv users only)", "Connect to Quorvel",
                           "Read from Quorvel", "-", "Disconnect Serial Communication"}));
    EXPECT_EQ(MenuTexts(rig.Find<QMenu>(QStringLiteral("COM1"))),
              QStringList({"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(MenuTexts(rig.Find<QMenu>(QStringLiteral("Baud1"))),
              QStringList({"Default", "-", "19200", "38400", "57600"}));
    EXPECT_EQ(MenuTexts(rig.Find<QMenu>(QStringLiteral("Parity1"))),
              QStringList({"None", "Odd", "Even", "Mark", "Space"}));

    EXPECT_FALSE(
        rig.Find<QMenu>(QStringLiteral("SettingsAdvusersonly1"))->menuAction()->isEnabled());
    EXPECT_FALSE(rig.Action(QStringLiteral("ReadfromQuorvels1"))->isEnabled());
    EXPECT_TRUE(rig.Action(QStringLiteral("SearchForQuorvel1"))->isEnabled());
    EXPECT_TRUE(rig.Action(QStringLiteral("DisconnectSerialCommunication1"))->isEnabled());
    EXPECT_TRUE(rig.Action(QStringLiteral("OpenConfigurationFile1"))->isEnabled());
    EXPECT_TRUE(rig.Action(QStringLiteral("SaveConfigurationtoFile1"))->isEnabled());
    EXPECT_TRUE(rig.Action(QStringLiteral("COM11"))->isChecked());
    EXPECT_FALSE(rig.Action(QStringLiteral("COM21"))->isChecked());
    EXPECT_TRUE(rig.Action(QStringLiteral("Defaultvalues1"))->isChecked());
    EXPECT_TRUE(rig.Action(QStringLiteral("None1"))->isChecked());
    EXPECT_FALSE(rig.Action(QStringLiteral("Odd1"))->isChecked());
    // The tooltip of a port item names its device.
    EXPECT_TRUE(
        rig.Action(QStringLiteral("COM21"))->toolTip().endsWith(QStringLiteral("missing-com2")));

    // The speed items set the speed and change no check mark; so do the
    // items without an action of their own.
    rig.Action(QStringLiteral("N384001"))->trigger();
    rig.Action(QStringLiteral("Odd1"))->trigger();
    rig.Action(QStringLiteral("Defaultvalues1"))->trigger();
    EXPECT_FALSE(rig.Action(QStringLiteral("N384001"))->isChecked());
    EXPECT_FALSE(rig.Action(QStringLiteral("Odd1"))->isChecked());
    EXPECT_TRUE(rig.Action(QStringLiteral("Defaultvalues1"))->isChecked());
}

TEST(ShellTest, LampsAndTheTerminalShowTheirColoursFlat) {
    FormRig rig;
    rig.CreateForm(nullptr);
    rig.Start(false);
    rig.ClickTab(QStringLiteral("About"));
    for (const char* name : {"ApdStatusLight5", "ApdStatusLight4", "ApdStatusLight3",
                             "ApdStatusLight6", "ApdStatusLight2"}) {
        auto* lamp = rig.Find<StatusLamp>(QString::fromLatin1(name));
        EXPECT_FALSE(lamp->Lit());
        EXPECT_EQ(CentrePixel(lamp), 0x008000U) << name;
    }
    LineLamps lamps;
    lamps.cts = true;
    lamps.txd = true;
    rig.Form().Events().SetLineLamps(lamps);
    EXPECT_EQ(CentrePixel(rig.Find<StatusLamp>(QStringLiteral("ApdStatusLight2"))), 0xFF0000U);
    EXPECT_EQ(CentrePixel(rig.Find<StatusLamp>(QStringLiteral("ApdStatusLight5"))), 0xFF0000U);
    EXPECT_EQ(CentrePixel(rig.Find<StatusLamp>(QStringLiteral("ApdStatusLight3"))), 0x008000U);

    // The terminal: 15 rows, no scroll-back; CR LF start a new row.
    auto* terminal = rig.Find<TerminalView>(QStringLiteral("AdTerminal1"));
    QByteArray bytes;
    for (int row = 1; row <= 17; ++row) {
        bytes += "row " + QByteArray::number(row) + "\r\n";
    }
    bytes += "#";
    rig.Form().Events().TerminalReceived(bytes);
    const QStringList rows = terminal->Rows();
    ASSERT_EQ(rows.size(), 15);
    EXPECT_EQ(rows.first(), QStringLiteral("row 4"));
    EXPECT_EQ(rows[13], QStringLiteral("row 17"));
    EXPECT_EQ(rows.last(), QStringLiteral("#"));
    const QImage image = terminal->grab().toImage();
    EXPECT_EQ(image.pixel(1, 1) & 0xFFFFFF, 0x000000U);
}

TEST(ShellTest, ThePresetPanelFollowsThePageAndTheSwitchingPageWithdrawsPendingRoutes) {
    FormRig rig;
    auto& sim = rig.StartSim({.demo = false, .tcp = true});
    rig.CreateForm(&sim);
    rig.Start(false);
    auto* panel = rig.Find<QGroupBox>(QStringLiteral("PresetsGroupBox"));
    EXPECT_TRUE(panel->isVisible());
    for (const char* page : {"Audio Controls", "Labeling", "Grouping", "Setup", "About"}) {
        rig.ClickTab(QString::fromLatin1(page));
        EXPECT_FALSE(panel->isVisible()) << page;
    }
    rig.ClickTab(QStringLiteral("Sequencing"));
    EXPECT_TRUE(panel->isVisible());

    rig.ClickTab(QStringLiteral("Setup"));
    rig.TypeIp(QStringLiteral("127.0.0.1"));
    rig.ClickLinkMode(true);
    ASSERT_TRUE(rig.Form().Flags().EthernetConnected);
    rig.ClickTab(QStringLiteral("A / V Switching"));
    EXPECT_TRUE(panel->isVisible());
    sim.ClearReceivedLines();

    // A temporary route, then away and back: the route is withdrawn.
    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("InputButton2")), Qt::LeftButton);
    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("OutputButton3")), Qt::LeftButton);
    rig.ClickTab(QStringLiteral("Labeling"));
    EXPECT_EQ(sim.ReceivedLines(), std::vector<std::string>{"RTEMP 3 2 2"});
    rig.ClickTab(QStringLiteral("A / V Switching"));
    EXPECT_EQ(sim.ReceivedLines(), std::vector<std::string>({"RTEMP 3 2 2", "TAKE 0"}));
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel3")), QStringLiteral("--"));
}

TEST(ShellTest, TheAboutItemShowsTheAboutDialog) {
    FormRig rig;
    rig.CreateForm(nullptr);
    rig.Action(QStringLiteral("About1"))->trigger();
    ASSERT_EQ(rig.about.shown, 1);
    EXPECT_EQ(rig.about.title, QStringLiteral("About Quorvel Control GUI"));
    EXPECT_TRUE(rig.about.texts.contains(QStringLiteral("Norvak Dellby, LLC  Quorvel Control")));
    EXPECT_TRUE(rig.about.texts.contains(QStringLiteral("Version 3.01")));
    EXPECT_TRUE(
        rig.about.texts.contains(QStringLiteral("Minimum resolution required is 1152x864.")));
    EXPECT_EQ(rig.about.buttons, QStringList{QStringLiteral("OK")});
}

TEST(ShellTest, ThePopupIsAnAlwaysOnTopToolWindowWithoutCloseBox) {
    FormRig rig;
    rig.CreateForm(nullptr);
    TInfoForm& info = rig.Info();
    EXPECT_EQ(info.windowTitle(), QStringLiteral(" Norvak Dellby - Quorvel Info"));
    EXPECT_TRUE(info.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(info.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(info.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    const double scale = info.screen()->logicalDotsPerInch() / 120.0;
    EXPECT_NEAR(info.width(), 512 * scale, 1.0);
    EXPECT_NEAR(info.height(), 41 * scale, 1.0);
    EXPECT_FALSE(info.isVisible());

    rig.Form().Events().ShowInfo(QStringLiteral("Quorvel reset in progress. Please wait...."));
    EXPECT_TRUE(info.isVisible());
    EXPECT_EQ(info.findChild<QLabel*>(QStringLiteral("InfoLabel"))->text(),
              QStringLiteral("Quorvel reset in progress. Please wait...."));
    rig.Form().Events().SetInfoProgress(QStringLiteral("..."));
    EXPECT_EQ(info.ProgressText(), QStringLiteral("..."));
    rig.Form().Events().HideInfo();
    EXPECT_FALSE(info.isVisible());
}

TEST(ShellTest, ExitAsksFirstAndYesClosesTheTcpConnection) {
    FormRig rig;
    auto& sim = rig.StartSim({.tcp = true});
    rig.CreateForm(&sim);
    rig.Start(false);
    rig.ClickTab(QStringLiteral("Setup"));
    rig.TypeIp(QStringLiteral("127.0.0.1"));
    rig.ClickLinkMode(true);
    ASSERT_TRUE(rig.Form().Link().TcpActive());
    rig.prompts.Clear();

    rig.prompts.ExpectYesNo(false);
    rig.Form().close(); // the close box
    EXPECT_TRUE(rig.Form().isVisible());
    EXPECT_TRUE(rig.Form().Link().TcpActive());

    rig.prompts.ExpectYesNo(false);
    rig.Action(QStringLiteral("Exit1"))->trigger(); // the same question
    EXPECT_TRUE(rig.Form().isVisible());
    EXPECT_EQ(rig.prompts.Titles(Kind::YesNo), QStringList({kExitTitle, kExitTitle}));
    EXPECT_EQ(rig.prompts.Texts(Kind::YesNo), QStringList({kExitText, kExitText}));

    rig.prompts.ExpectYesNo(true);
    rig.Action(QStringLiteral("Exit1"))->trigger();
    EXPECT_FALSE(rig.Form().isVisible());
    EXPECT_FALSE(rig.Form().Link().TcpActive());
    EXPECT_FALSE(rig.Form().Flags().EthernetConnected);
}

TEST(ShellTest, NamedControlsCarryTheirNameAsAccessibleDescription) {
    FormRig rig;
    rig.CreateForm(nullptr);
    for (const char* name :
         {"MainPageControl", "MainStatusBar", "PresetsGroupBox", "GroupBox24",
          "SerialModeRadioGroup", "IPAddrEdit", "IPAddressButton", "Label82", "Version1Label",
          "FirmwareVersionLabel", "Image1", "Label103", "AdTerminal1", "RS232GroupBox",
          "ComNumberLabel", "InputLabelEdit1", "PresetLabelEdit16", "InputLabelPageControl"}) {
        auto* w = rig.Find<QWidget>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->accessibleDescription(), QString::fromLatin1(name));
    }
    EXPECT_EQ(rig.Find<QWidget>(QStringLiteral("IPAddressButton"))->accessibleName(), QString());
    EXPECT_EQ(rig.Find<QWidget>(QStringLiteral("IPAddrEdit"))->accessibleName(),
              QStringLiteral("IP Address"));
    EXPECT_EQ(rig.Find<QWidget>(QStringLiteral("Image1"))->accessibleName(),
              QStringLiteral("Quorvel logo"));
}

// An object whose event handler fails.
class FailingObject : public QObject {
  protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            throw std::runtime_error("'abc' is not a valid integer value");
        }
        return QObject::event(e);
    }
};

TEST(ShellTest, AnErrorEscapingAHandlerIsShownAndTheLoopGoesOn) {
    auto* app = qobject_cast<GuardedApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    ScriptedPrompts prompts;
    prompts.ExpectError(QStringLiteral("'abc' is not a valid integer value"));
    app->SetPrompts(&prompts);
    FailingObject failing;
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&failing);
    app->SetPrompts(nullptr);
    EXPECT_EQ(prompts.Texts(PromptRecord::Kind::Error),
              QStringList{QStringLiteral("'abc' is not a valid integer value")});
    bool later = false;
    QTimer::singleShot(0, [&] { later = true; });
    EXPECT_TRUE(WaitFor([&] { return later; }));
}

} // namespace
} // namespace qvc::test
