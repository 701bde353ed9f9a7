// The RS-232/Ethernet selector of the Setup page: every way back to the
// previous item, and "Update IP Address".
#include "FormRig.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace qvc::test {
namespace {

using Kind = PromptRecord::Kind;
constexpr int kRs232 = 0;
constexpr int kEthernet = 1;

const QString kToSerialTitle =
    QStringLiteral("Norvak Dellby - QV Control :Establish Serial communication with Quorvel");
const QString kToSerialQuestion = QStringLiteral(
    "QV Control is currently connected to the Quorvel via the Ethernet. Do you want to "
    "disconnect the Ethernet connection and try the Serial connection?");
const QString kToEthernetTitle =
    QStringLiteral("Norvak Dellby - QV Control :Establish Ethernet communication with Quorvel");
const QString kToEthernetQuestion = QStringLiteral(
    "QV Control is currently connected to the Quorvel via the serial ports. Do you want to "
    "disconnect the serial port connection and try the Ethernet connection?");
const QString kSilentText =
    QStringLiteral("Error: Unable to connect to Quorvel with given IP Address");

// Start-up answered No, then Ethernet to the simulator on the Setup page;
// the lines and prompts of the connection are forgotten.
void ConnectEthernet(FormRig& rig, qvsim::SimThread& sim) {
    rig.ConnectEthernet();
    ASSERT_TRUE(rig.Form().Flags().EthernetConnected);
    ASSERT_FALSE(rig.Form().Flags().RefreshingFlag);
    sim.ClearReceivedLines();
    rig.prompts.Clear();
}

// Start-up answered Yes, which finds the simulator on its pty; the lines and
// prompts of the connection are forgotten.
void ConnectSerial(FormRig& rig, qvsim::SimThread& sim) {
    rig.Start(true);
    ASSERT_TRUE(rig.Form().Flags().SerialConnected);
    sim.ClearReceivedLines();
    rig.prompts.Clear();
}

// Ethernet chosen on the Setup page with 127.0.0.1 typed in, the question of
// leaving the serial link answered `yes`.
void ChooseEthernetFromSerial(FormRig& rig, bool yes) {
    rig.ClickTab(QStringLiteral("Setup"));
    rig.TypeIp(QStringLiteral("127.0.0.1"));
    rig.prompts.ExpectYesNo(yes);
    rig.ClickLinkMode(true);
}

TEST(LinkModeTest, EthernetUpRs232AnsweredNoKeepsEthernetWithoutASecondQuestion) {
    FormRig rig;
    auto& sim = rig.StartSim({.tcp = true});
    rig.CreateForm(&sim);
    ConnectEthernet(rig, sim);

    rig.prompts.ExpectYesNo(false);
    rig.ClickLinkMode(false);

    EXPECT_EQ(rig.prompts.Titles(Kind::YesNo), QStringList{kToSerialTitle});
    EXPECT_EQ(rig.prompts.Texts(Kind::YesNo), QStringList{kToSerialQuestion});
    EXPECT_EQ(rig.prompts.Records().size(), 1U);
    EXPECT_EQ(rig.LinkMode(), kEthernet);
    EXPECT_TRUE(rig.Form().Flags().EthernetConnected);
    EXPECT_TRUE(rig.Form().Link().TcpActive());
    EXPECT_TRUE(sim.ReceivedLines().empty());

    // The guard was used up: choosing RS-232 again asks again.
    rig.prompts.ExpectYesNo(false);
    rig.ClickLinkMode(false);
    EXPECT_EQ(rig.prompts.Titles(Kind::YesNo), QStringList({kToSerialTitle, kToSerialTitle}));
    EXPECT_EQ(rig.LinkMode(), kEthernet);
}

TEST(LinkModeTest, EthernetUpRs232AnsweredYesWithoutSerialSwitcherKeepsEthernet) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    auto& sim = rig.StartSim({.tcp = true});
    rig.CreateForm(&sim);
    ConnectEthernet(rig, sim);

    rig.prompts.ExpectYesNo(true);
    rig.ClickLinkMode(false);

    EXPECT_EQ(rig.prompts.Titles(Kind::YesNo), QStringList{kToSerialTitle});
    EXPECT_EQ(rig.prompts.Texts(Kind::Message), QStringList{kSearchFailedText});
    EXPECT_EQ(rig.LinkMode(), kEthernet);
    EXPECT_TRUE(rig.Form().Flags().EthernetConnected);
    EXPECT_FALSE(rig.Form().Flags().SerialConnected);
    EXPECT_TRUE(rig.Form().Link().TcpActive());
    EXPECT_TRUE(sim.ReceivedLines().empty());

    // Still reading over TCP.
    rig.Action(QStringLiteral("ReadfromQuorvels1"))->trigger();
    EXPECT_EQ(sim.ReceivedLines(), ReadBackLines());
}

TEST(LinkModeTest, EthernetUpRs232AnsweredYesWithSerialSwitcherMovesToTheSerialLink) {
    FormRig rig;
    auto& tcpSim = rig.StartSim({.model = 3, .tcp = true});
    auto& serialSim = rig.StartSim({.model = 1, .pty = true});
    rig.CreateForm(&tcpSim, &serialSim, 2);
    ConnectEthernet(rig, tcpSim);

    rig.prompts.ExpectYesNo(true);
    rig.ClickLinkMode(false);

    EXPECT_EQ(rig.prompts.Records().size(), 1U);
    EXPECT_EQ(serialSim.ReceivedLines(), Join({"", ""}, ReadBackLines()));
    EXPECT_TRUE(tcpSim.ReceivedLines().empty());
    EXPECT_TRUE(rig.Form().Flags().SerialConnected);
    EXPECT_FALSE(rig.Form().Flags().EthernetConnected);
    EXPECT_FALSE(rig.Form().Link().TcpActive());
    EXPECT_EQ(rig.LinkMode(), kRs232);
    EXPECT_EQ(rig.Text(QStringLiteral("ComNumberLabel")), QStringLiteral("2"));
    EXPECT_EQ(rig.Form().windowTitle(),
              QStringLiteral("Norvak Dellby LLC :- Quorvel  Control (12 x 8)"));
}

TEST(LinkModeTest, SerialUpEthernetAnsweredNoKeepsTheSerialLink) {
    FormRig rig;
    auto& sim = rig.StartSim({.tcp = true, .pty = true});
    rig.CreateForm(&sim, &sim, 1);
    ASSERT_NO_FATAL_FAILURE(ConnectSerial(rig, sim));

    ChooseEthernetFromSerial(rig, false);

    EXPECT_EQ(rig.prompts.Titles(Kind::YesNo), QStringList{kToEthernetTitle});
    EXPECT_EQ(rig.prompts.Texts(Kind::YesNo), QStringList{kToEthernetQuestion});
    EXPECT_EQ(rig.prompts.Records().size(), 1U);
    EXPECT_EQ(rig.LinkMode(), kRs232);
    EXPECT_TRUE(rig.Form().Flags().SerialConnected);
    EXPECT_FALSE(rig.Form().Link().TcpActive());
    EXPECT_TRUE(sim.ReceivedLines().empty());
}

TEST(LinkModeTest, SerialUpEthernetAnsweredYesReadsOverTcpAndClosesThePort) {
    FormRig rig;
    auto& sim = rig.StartSim({.model = 2, .tcp = true, .pty = true});
    rig.CreateForm(&sim, &sim, 4);
    ASSERT_NO_FATAL_FAILURE(ConnectSerial(rig, sim));

    ChooseEthernetFromSerial(rig, true);

    EXPECT_EQ(rig.prompts.Titles(Kind::YesNo), QStringList{kToEthernetTitle});
    EXPECT_EQ(sim.ReceivedLines(), Join({""}, ReadBackLines()));
    EXPECT_FALSE(rig.Form().Flags().SerialConnected);
    EXPECT_TRUE(rig.Form().Flags().EthernetConnected);
    EXPECT_EQ(rig.LinkMode(), kEthernet);
    for (const char* lamp : {"ApdStatusLight5", "ApdStatusLight4", "ApdStatusLight3",
                             "ApdStatusLight6", "ApdStatusLight2"}) {
        EXPECT_FALSE(rig.Find<QWidget>(QString::fromLatin1(lamp))->property("lit").toBool())
            << lamp;
    }
    EXPECT_FALSE(rig.Action(QStringLiteral("SearchForQuorvel1"))->isEnabled());
    EXPECT_TRUE(rig.Action(QStringLiteral("ReadfromQuorvels1"))->isEnabled());
    EXPECT_FALSE(rig.Action(QStringLiteral("DisconnectSerialCommunication1"))->isEnabled());
}

TEST(LinkModeTest, EthernetWithAnEmptyAddressAsksForOneAndStaysSelected) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    auto& sim = rig.StartSim({.tcp = true});
    rig.CreateForm(&sim);
    rig.Start(false);
    rig.prompts.Clear();
    rig.ClickTab(QStringLiteral("Setup"));
    rig.ClickLinkMode(true);

    EXPECT_EQ(rig.prompts.Texts(Kind::Message),
              QStringList{QStringLiteral("Please enter an IP Address")});
    EXPECT_EQ(rig.prompts.Records().size(), 1U);
    EXPECT_EQ(rig.LinkMode(), kEthernet);
    EXPECT_FALSE(rig.Form().Link().TcpActive());
    EXPECT_TRUE(sim.ReceivedLines().empty());
}

TEST(LinkModeTest, SilentSwitcherOverTcpReturnsToRs232AndAsksTheEthernetQuestion) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    auto& sim = rig.StartSim({.tcp = true});
    rig.CreateForm(&sim);
    rig.Start(false);
    rig.prompts.Clear();
    sim.ChangeFaults([](qvsim::Faults& f) { f.silent = true; });

    rig.ClickTab(QStringLiteral("Setup"));
    rig.TypeIp(QStringLiteral("127.000.000.001"));
    // The return to RS-232 finds the TCP connection open and asks; No goes
    // back to Ethernet, and that call is absorbed.
    rig.prompts.ExpectYesNo(false);
    rig.ClickLinkMode(true);

    EXPECT_EQ(rig.Find<QLineEdit>(QStringLiteral("IPAddrEdit"))->text(),
              QStringLiteral("127.0.0.1"));
    EXPECT_EQ(rig.prompts.Texts(Kind::Message), QStringList{kSilentText});
    EXPECT_EQ(rig.prompts.Titles(Kind::YesNo), QStringList{kToSerialTitle});
    EXPECT_EQ(rig.prompts.Records().size(), 2U);
    EXPECT_EQ(sim.ReceivedLines(), std::vector<std::string>{""});
    EXPECT_EQ(rig.LinkMode(), kEthernet);
    EXPECT_TRUE(rig.Form().Link().TcpActive());
    EXPECT_TRUE(rig.Form().Flags().RefreshingFlag);
}

TEST(LinkModeTest, RefusedConnectionReturnsToRs232AndSearchesTheSerialPorts) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    rig.CreateForm(nullptr); // nobody listens on the TCP port
    rig.Start(false);
    rig.prompts.Clear();

    rig.ClickTab(QStringLiteral("Setup"));
    rig.TypeIp(QStringLiteral("127.0.0.1"));
    rig.ClickLinkMode(true);

    const QStringList messages = rig.prompts.Texts(Kind::Message);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], QStringLiteral("Socket Connection Error: Check Ethernet cable"));
    EXPECT_EQ(messages[1], kSearchFailedText);
    EXPECT_EQ(rig.LinkMode(), kRs232);
    EXPECT_FALSE(rig.Form().Flags().EthernetConnected);
    EXPECT_FALSE(rig.Form().Flags().SerialConnected);
}

TEST(LinkModeTest, UpdateIpAddressChecksTheTextAndSendsIpconfig) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    auto& sim = rig.StartSim({.pty = true});
    rig.CreateForm(nullptr, &sim, 1);
    ASSERT_NO_FATAL_FAILURE(ConnectSerial(rig, sim));
    rig.ClickTab(QStringLiteral("Setup"));
    auto* button = rig.Find<QPushButton>(QStringLiteral("IPAddressButton"));

    rig.TypeIp(QStringLiteral("300.1.1.1"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(rig.prompts.Texts(Kind::Message),
              QStringList{QStringLiteral("IP Address segments cannot be > 255")});
    EXPECT_TRUE(sim.ReceivedLines().empty());

    rig.prompts.Clear();
    rig.TypeIp(QStringLiteral("10.0.0.250"));
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return); // Enter presses the focused button
    EXPECT_TRUE(rig.prompts.Records().empty());
    // Over the serial link, and no reconnection: Ethernet is not up.
    EXPECT_EQ(sim.ReceivedLines(), std::vector<std::string>{"IPCONFIG 10 0 0 250"});
    EXPECT_EQ(rig.LinkMode(), kRs232);
    EXPECT_FALSE(rig.Form().Link().TcpActive());
}

TEST(LinkModeTest, UpdateIpAddressWithEthernetUpConnectsAgainToTheNewAddress) {
    FormRig rig;
    auto& sim = rig.StartSim({.tcp = true});
    rig.CreateForm(&sim);
    ConnectEthernet(rig, sim);

    rig.TypeIp(QStringLiteral("127.000.000.001"));
    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("IPAddressButton")), Qt::LeftButton);

    EXPECT_TRUE(rig.prompts.Records().empty());
    // IPCONFIG goes out without a wait on the old connection, then the window
    // connects again to the new address, probes it and reads the switcher.
    const std::vector<std::string> lines = sim.ReceivedLines();
    EXPECT_EQ(lines, Join({"IPCONFIG 127 0 0 1", ""}, ReadBackLines()));
    EXPECT_TRUE(rig.Form().Flags().EthernetConnected);
    EXPECT_TRUE(rig.Form().Link().TcpActive());
    EXPECT_EQ(rig.LinkMode(), kEthernet);
    EXPECT_FALSE(rig.Form().Flags().RefreshingFlag);
}

} // namespace
} // namespace qvc::test
