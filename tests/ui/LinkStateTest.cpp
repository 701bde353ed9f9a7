// The link at a glance: LinkStateLabel on the right of the status bar, for
// TCP and the serial link, through connecting, the switcher going away and
// the next connect or port search.
#include "FormRig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

namespace qvc::test {
namespace {

const QString kNoLink = QStringLiteral("No link");
const QString kLost = QStringLiteral("Link lost");

QLabel* LinkLabel(FormRig& rig) {
    return rig.Find<QLabel>(QStringLiteral("LinkStateLabel"));
}

// The label reads `text`, is named by it, and is red only when the link was lost.
void ExpectLabel(FormRig& rig, const QString& text) {
    QLabel* label = LinkLabel(rig);
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(label->accessibleName(), text);
    const QColor background = label->grab().toImage().pixelColor(1, 1);
    const bool red = background.red() > 180 && background.green() < 60 && background.blue() < 60;
    EXPECT_EQ(red, text == kLost) << text.toStdString() << " on " << background.name().toStdString();
}

TEST(LinkStateTest, LabelIsPermanentOnTheRightAndTheMessageAreaStays) {
    FormRig rig;
    rig.CreateForm(nullptr);
    rig.Start(false);
    ExpectLabel(rig, kNoLink);
    auto* bar = rig.Find<QStatusBar>(QStringLiteral("MainStatusBar"));
    EXPECT_EQ(LinkLabel(rig)->parentWidget(), bar);
    bar->showMessage(QStringLiteral("Querying Quorvel. Please wait...."));
    EXPECT_TRUE(LinkLabel(rig)->isVisible()); // a message does not hide it
    EXPECT_GT(LinkLabel(rig)->geometry().left(), bar->width() / 2);
}

TEST(LinkStateTest, TcpUpLostWhenTheSwitcherGoesAndBackAfterTheNextConnect) {
    FormRig rig;
    auto* sim = &rig.StartSim({.tcp = true});
    const quint16 port = sim->TcpPort();
    rig.CreateForm(sim);
    rig.ConnectEthernet();
    ExpectLabel(rig, QStringLiteral("Ethernet 127.0.0.1"));

    // RS-232 tried and not found: the TCP link stays, and so does its text.
    rig.prompts.Clear();
    rig.prompts.ExpectYesNo(true);
    rig.prompts.ExpectMessage(kSearchFailedText);
    rig.ClickLinkMode(false);
    ExpectLabel(rig, QStringLiteral("Ethernet 127.0.0.1"));

    // The switcher closes the connection.
    rig.StopSim(*sim);
    ASSERT_TRUE(WaitFor([&] { return LinkLabel(rig)->text() == kLost; }, 5000));
    ExpectLabel(rig, kLost);
    // Nothing else changes: a command from a page goes nowhere, silently.
    rig.ClickTab(QStringLiteral("Setup"));
    QTest::mouseClick(rig.Find<QWidget>(QStringLiteral("FrontPanelLockCheckBox")),
                      Qt::LeftButton, {}, QPoint(8, 8));
    ExpectLabel(rig, kLost);

    // Back on the same port; Ethernet chosen again (by way of RS-232, whose
    // search ends the lost state), with the address typed again: the
    // read-back showed the switcher's own.
    sim = &rig.StartSim({.tcp = true, .tcpPort = port});
    rig.prompts.ExpectMessage(kSearchFailedText);
    rig.ClickLinkMode(false);
    ExpectLabel(rig, kNoLink);
    rig.TypeIp(QStringLiteral("127.0.0.1"));
    rig.ClickLinkMode(true);
    ASSERT_TRUE(rig.Form().Flags().EthernetConnected);
    ExpectLabel(rig, QStringLiteral("Ethernet 127.0.0.1"));
}

TEST(LinkStateTest, SerialUpLostWhenThePtyGoesAwayAndBackAfterTheNextSearch) {
    FormRig rig;
    auto* sim = &rig.StartSim({.pty = true});
    const QString com3 = QString::fromStdString(sim->PtyPath());
    rig.CreateForm(nullptr, sim, 3);
    rig.Start(true);
    ASSERT_TRUE(rig.Form().Flags().SerialConnected);
    ExpectLabel(rig, QStringLiteral("RS-232 COM3"));

    rig.StopSim(*sim);
    ASSERT_TRUE(WaitFor([&] { return LinkLabel(rig)->text() == kLost; }, 5000));
    ExpectLabel(rig, kLost);

    // A switcher plugged in again where COM3 was; Serial Port > Open COM >
    // COM3 searches that port.
    sim = &rig.StartSim({.pty = true});
    ASSERT_TRUE(QDir().mkpath(QFileInfo(com3).path()));
    ASSERT_TRUE(QFile::link(QString::fromStdString(sim->SlavePath()), com3));
    rig.Action(QStringLiteral("COM31"))->trigger();
    ASSERT_TRUE(rig.Form().Flags().SerialConnected);
    ExpectLabel(rig, QStringLiteral("RS-232 COM3"));
    rig.Form().Link().CloseSerialPort();
    QDir(QFileInfo(com3).path()).removeRecursively();
}

TEST(LinkStateTest, SerialDisconnectIsNoLinkNotLost) {
    FormRig rig;
    auto& sim = rig.StartSim({.pty = true});
    rig.CreateForm(nullptr, &sim, 3);
    rig.Start(true);
    ExpectLabel(rig, QStringLiteral("RS-232 COM3"));
    rig.Action(QStringLiteral("DisconnectSerialCommunication1"))->trigger();
    ExpectLabel(rig, kNoLink);
}

} // namespace
} // namespace qvc::test
