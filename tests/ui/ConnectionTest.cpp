// The start-up question and the "Serial Port" menu against a simulated
// switcher on a pseudo-terminal.
#include "FormRig.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

namespace qvc::test {
namespace {

const QString kStartQuestion =
    QStringLiteral("\tDo you want to connect to Quorvel via the serial port?\n\n"
                   "   \tSerial Port Connection - Click Yes\n"
                   "   \tEthernet connection - Click No then go to Setup Tab\n"
                   "   \tRS-485 - Not available\n"
                   "   \tNo Connection - Click No");
const QString kPortFailedText = QStringLiteral(
    "\tSerial Port Connection Failed.\n\n"
    "      \t1) Please check COM port selection and RS-232 cable.\n"
    "      \t2) Make sure COM port is not in use.\n"
    "      \t3) Make sure Quorvel boot-up initialization has been completed.\n"
    "      \t4) Go to 'Serial Port->Connect to Quorvel' menu item to connect later.");
const QString kChecking = QStringLiteral("Checking COM port communication. Please wait....");
const QString kQuerying = QStringLiteral("QV Control querying Quorvel. Please wait....");
using Kind = PromptRecord::Kind;

QStringList CheckedComItems(FormRig& rig) {
    QStringList checked;
    for (const char* name : {"COM11", "COM21", "COM31", "COM41"}) {
        if (rig.Action(QString::fromLatin1(name))->isChecked()) {
            checked << QString::fromLatin1(name);
        }
    }
    return checked;
}

void ExpectMenuState(FormRig& rig, bool connect, bool read, bool disconnect) {
    EXPECT_EQ(rig.Action(QStringLiteral("SearchForQuorvel1"))->isEnabled(), connect);
    EXPECT_EQ(rig.Action(QStringLiteral("ReadfromQuorvels1"))->isEnabled(), read);
    EXPECT_EQ(rig.Action(QStringLiteral("DisconnectSerialCommunication1"))->isEnabled(),
              disconnect);
}

TEST(ConnectionTest, StartUpYesFindsTheSwitcherOnCom3AndShowsItsState) {
    FormRig rig;
    auto& sim = rig.StartSim({.model = 3, .demo = true, .pty = true});
    rig.CreateForm(nullptr, &sim, 3);
    rig.Start(true);

    ASSERT_EQ(rig.prompts.Records().size(), 1U); // the question, nothing else
    EXPECT_EQ(rig.prompts.Records()[0].title, kStartTitle);
    EXPECT_EQ(rig.prompts.Records()[0].text, kStartQuestion);
    // COM1 and COM2 have no device and are passed over; COM3 answers the probe,
    // then the bare CR of the connection check, then the read-back.
    EXPECT_EQ(sim.ReceivedLines(), Join({"", ""}, ReadBackLines()));
    EXPECT_EQ(rig.popups->shown, QStringList({kChecking, kQuerying}));
    EXPECT_FALSE(rig.Info().isVisible());

    TMatrixForm& form = rig.Form();
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("Norvak Dellby LLC :- Quorvel  Control (16 x 16)"));
    EXPECT_EQ(rig.Text(QStringLiteral("FirmwareVersionLabel")), QStringLiteral("2.17D"));
    EXPECT_EQ(rig.Find<QLineEdit>(QStringLiteral("IPAddrEdit"))->text(),
              QStringLiteral("192.168.1.50"));
    EXPECT_EQ(rig.Text(QStringLiteral("ComNumberLabel")), QStringLiteral("3"));
    EXPECT_EQ(rig.StatusText(), QString());
    EXPECT_TRUE(form.Flags().SerialConnected);
    EXPECT_FALSE(form.Flags().EthernetConnected);
    EXPECT_FALSE(form.Flags().RefreshingFlag);
    EXPECT_EQ(form.Flags().BusyFlag, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(rig.Find<QTabWidget>(QStringLiteral("MainPageControl"))->isEnabled());
    ExpectMenuState(rig, false, true, true);
    // A search of all ports does not move the check mark.
    EXPECT_EQ(CheckedComItems(rig), QStringList{QStringLiteral("COM11")});

    // The demo routing: video inputs of outputs 1..16, the audio of output 2,
    // the mute of output 3.
    const QStringList video = {"1", "2",  "5",  "12", "7",  "8",  "--", "3",
                               "9", "10", "11", "12", "13", "14", "15", "--"};
    for (int o = 1; o <= 16; ++o) {
        EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel%1").arg(o)), video[o - 1]) << o;
    }
    EXPECT_EQ(rig.Text(QStringLiteral("AudioLabel2")), QStringLiteral("3"));
    EXPECT_TRUE(rig.Find<QCheckBox>(QStringLiteral("OutputMuteCheckBox3"))->isChecked());
    EXPECT_FALSE(rig.Find<QCheckBox>(QStringLiteral("OutputMuteCheckBox2"))->isChecked());
}

TEST(ConnectionTest, StartUpNoLeavesEveryLinkDownUntilEthernetIsChosenOnTheSetupPage) {
    FormRig rig;
    auto& sim = rig.StartSim({.model = 3, .demo = true, .tcp = true});
    rig.CreateForm(&sim);
    rig.Start(false);

    EXPECT_EQ(rig.prompts.Texts(Kind::Message), QStringList{kConnectLaterText});
    EXPECT_EQ(rig.prompts.Titles(Kind::Message),
              QStringList{QStringLiteral("Norvak Dellby Quorvel")});
    EXPECT_TRUE(sim.ReceivedLines().empty());
    EXPECT_TRUE(rig.Form().Flags().RefreshingFlag);
    ExpectMenuState(rig, true, false, true);
    EXPECT_EQ(rig.Form().windowTitle(), kStartCaption);

    rig.ClickTab(QStringLiteral("Setup"));
    rig.TypeIp(QStringLiteral("127.0.0.1"));
    rig.ClickLinkMode(true);

    EXPECT_EQ(sim.ReceivedLines(), Join({""}, ReadBackLines()));
    EXPECT_EQ(rig.prompts.Texts(Kind::Message), QStringList{kConnectLaterText}); // nothing new
    const LinkState& flags = rig.Form().Flags();
    EXPECT_TRUE(flags.EthernetConnected);
    EXPECT_FALSE(flags.SerialConnected);
    EXPECT_FALSE(flags.RefreshingFlag);
    EXPECT_TRUE(rig.Form().Link().TcpActive());
    ExpectMenuState(rig, false, true, false);
    EXPECT_EQ(rig.LinkMode(), 1);
    EXPECT_EQ(rig.Form().windowTitle(),
              QStringLiteral("Norvak Dellby LLC :- Quorvel  Control (16 x 16)"));
    EXPECT_EQ(rig.Text(QStringLiteral("FirmwareVersionLabel")), QStringLiteral("2.17D"));
    EXPECT_EQ(rig.Find<QLineEdit>(QStringLiteral("IPAddrEdit"))->text(),
              QStringLiteral("192.168.1.50"));
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel4")), QStringLiteral("12"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(ConnectionTest, StartUpYesWithoutAnySwitcherShowsTheSearchFailure) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    rig.CreateForm(nullptr);
    rig.Start(true);

    EXPECT_EQ(rig.prompts.Texts(Kind::Message), QStringList{kSearchFailedText});
    EXPECT_EQ(rig.popups->shown, QStringList());
    EXPECT_FALSE(rig.Form().Flags().SerialConnected);
    EXPECT_TRUE(rig.Form().Flags().RefreshingFlag);
    ExpectMenuState(rig, true, false, false);
    EXPECT_EQ(rig.Text(QStringLiteral("ComNumberLabel")), QStringLiteral("None"));
    EXPECT_EQ(CheckedComItems(rig), QStringList{QStringLiteral("COM11")});
}

TEST(ConnectionTest, PortItemsMoveTheCheckMarkAndDisconnectEndsTheSerialLink) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    auto& sim = rig.StartSim({.model = 1, .demo = true, .pty = true});
    rig.CreateForm(nullptr, &sim, 3);
    rig.Start(false);
    rig.prompts.Clear();

    // Nothing answers on COM2: the second failure text, no item checked.
    rig.Action(QStringLiteral("COM21"))->trigger();
    EXPECT_EQ(rig.prompts.Texts(Kind::Message), QStringList{kPortFailedText});
    EXPECT_EQ(CheckedComItems(rig), QStringList());
    EXPECT_FALSE(rig.Form().Flags().SerialConnected);
    ExpectMenuState(rig, true, false, false);
    EXPECT_TRUE(sim.ReceivedLines().empty());

    // COM3 finds the switcher, without the pop-up, and gets the mark.
    rig.prompts.Clear();
    rig.Action(QStringLiteral("COM31"))->trigger();
    EXPECT_TRUE(rig.prompts.Records().empty());
    EXPECT_EQ(sim.ReceivedLines(), Join({"", ""}, ReadBackLines()));
    EXPECT_EQ(rig.popups->shown, QStringList{kQuerying});
    EXPECT_EQ(CheckedComItems(rig), QStringList{QStringLiteral("COM31")});
    EXPECT_TRUE(rig.Form().Flags().SerialConnected);
    EXPECT_FALSE(rig.Form().Flags().RefreshingFlag);
    ExpectMenuState(rig, false, true, true);
    EXPECT_EQ(rig.Text(QStringLiteral("ComNumberLabel")), QStringLiteral("3"));
    EXPECT_EQ(rig.Form().windowTitle(),
              QStringLiteral("Norvak Dellby LLC :- Quorvel  Control (12 x 8)"));

    // Disconnect: the link and its lamps stop, the port number stays shown.
    rig.Action(QStringLiteral("DisconnectSerialCommunication1"))->trigger();
    EXPECT_FALSE(rig.Form().Flags().SerialConnected);
    ExpectMenuState(rig, true, false, false);
    EXPECT_EQ(rig.Text(QStringLiteral("ComNumberLabel")), QStringLiteral("3"));
    EXPECT_EQ(CheckedComItems(rig), QStringList{QStringLiteral("COM31")});

    // "Connect to Quorvel" searches all ports; the mark stays where it is.
    sim.ClearReceivedLines();
    rig.popups->shown.clear();
    rig.Action(QStringLiteral("SearchForQuorvel1"))->trigger();
    EXPECT_TRUE(rig.prompts.Records().empty());
    EXPECT_EQ(sim.ReceivedLines(), Join({"", ""}, ReadBackLines()));
    EXPECT_EQ(rig.popups->shown, QStringList({kChecking, kQuerying}));
    EXPECT_EQ(CheckedComItems(rig), QStringList{QStringLiteral("COM31")});
    ExpectMenuState(rig, false, true, true);
}

// Items that would start another exchange, chosen while a serial read-back
// waits for a reply: each is ignored, without a message or a change of state.
class ItemDuringReadBackTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ItemDuringReadBackTest, IsIgnoredWithoutAMessage) {
    FormRig rig;
    auto& sim = rig.StartSim({.demo = true, .pty = true});
    rig.CreateForm(nullptr, &sim, 3);
    rig.Start(true);
    rig.prompts.Clear();
    sim.ClearReceivedLines();
    sim.ChangeFaults([](qvsim::Faults& f) { f.replyDelayMs = 20; });

    bool fired = false;
    QTimer::singleShot(5, rig.Find<QWidget>(QStringLiteral("MainStatusBar")), [&] {
        fired = true;
        rig.Action(QString::fromLatin1(GetParam()))->trigger();
    });
    rig.Action(QStringLiteral("ReadfromQuorvels1"))->trigger();

    EXPECT_TRUE(fired);
    EXPECT_TRUE(rig.prompts.Records().empty());
    EXPECT_EQ(sim.ReceivedLines(), ReadBackLines());
    EXPECT_TRUE(rig.Form().Flags().SerialConnected);
    EXPECT_TRUE(rig.Form().Flags().SerialPortOpen);
    EXPECT_EQ(CheckedComItems(rig), QStringList{QStringLiteral("COM11")}); // as the search left it
    EXPECT_EQ(rig.Text(QStringLiteral("ComNumberLabel")), QStringLiteral("3"));
    ExpectMenuState(rig, false, true, true);
}

INSTANTIATE_TEST_SUITE_P(MenuItems, ItemDuringReadBackTest,
                         ::testing::Values("COM11", "COM21", "COM31", "COM41", "SearchForQuorvel1",
                                           "ReadfromQuorvels1", "DisconnectSerialCommunication1"));

TEST(ConnectionTest, ThePagesAreDisabledBeforeTheTcpConnectWaitBegins) {
    FormRig rig;
    auto& sim = rig.StartSim({.tcp = true});
    rig.CreateForm(&sim);
    // The link turns the busy pointer on as its connect wait begins.
    std::vector<bool> pagesEnabledAtWait;
    QObject::connect(&rig.Form().Events(), &LinkEvents::hourglassChanged, [&](bool on) {
        if (on && !rig.Form().Flags().EthernetConnected) {
            pagesEnabledAtWait.push_back(
                rig.Find<QWidget>(QStringLiteral("MainPageControl"))->isEnabled());
        }
    });
    rig.ConnectEthernet();
    EXPECT_TRUE(rig.Form().Flags().EthernetConnected);
    EXPECT_EQ(pagesEnabledAtWait, std::vector<bool>{false});
    EXPECT_TRUE(rig.Find<QWidget>(QStringLiteral("MainPageControl"))->isEnabled());
}

TEST(ConnectionTest, TheFocusedControlKeepsTheKeyboardAcrossASerialExchange) {
    FormRig rig;
    auto& sim = rig.StartSim({.pty = true});
    rig.CreateForm(nullptr, &sim, 3);
    rig.Start(true);
    rig.prompts.Clear();
    rig.ClickTab(QStringLiteral("Audio Controls"));
    rig.Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.Form()));
    auto* slider = rig.Find<QWidget>(QStringLiteral("AudioTrackBar3"));
    slider->setFocus();
    sim.ClearReceivedLines();

    // Each key sends one ALVL; the pages are disabled while it waits for '#'.
    for (int key = 0; key < 3; ++key) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    }
    const int level = rig.Form().State().levels.level(2);
    EXPECT_EQ(sim.ReceivedLines(),
              (Lines{"ALVL 3 " + std::to_string(level - 2), "ALVL 3 " + std::to_string(level - 1),
                     "ALVL 3 " + std::to_string(level)}));
    EXPECT_EQ(QApplication::focusWidget(), slider);
}

} // namespace
} // namespace qvc::test
