// The page end to end: clicks go through a real DeviceLink over TCP to the
// switcher simulator, which must receive exactly the operator's lines.
#include "link/DeviceLink.h"
#include "link/LinkHost.h"
#include "link/Prompts.h"
#include "tests/support/WaitFor.h"
#include "ui/switching/SwitchingPage.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <Simulator.h>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

// The window side of the link, which these tests do not look at.
class QuietHost : public LinkHost {
  public:
    void SetStatusText(const QString&) override {}
    void SetPageControlEnabled(bool) override {}
    void SetHourglass(bool on) override { hourglass_ = on; }
    bool HourglassShown() const override { return hourglass_; }
    void SetComNumberText(const QString&) override {}
    void SetLineLamps(const LineLamps&) override {}
    void TerminalReceived(const QByteArray&) override {}
    void ShowInfo(const QString&) override {}
    void SetInfoProgress(const QString&) override {}
    void HideInfo() override {}

  private:
    bool hourglass_ = false;
};

// No prompt is expected on this path: each one fails the test.
class NoPrompts : public Prompts {
  public:
    void Message(const QString& text) override { Unexpected(text); }
    void MessageWithTitle(const QString&, const QString& text) override { Unexpected(text); }
    bool YesNo(const QString&, const QString& text) override { return Unexpected(text); }
    bool OkCancel(const QString&, const QString& text) override { return Unexpected(text); }
    void Error(const QString& text) override { Unexpected(text); }
    QString OpenFileName(const QString& title) override { return Unexpected(title), QString(); }
    QString SaveFileName(const QString& title) override { return Unexpected(title), QString(); }

  private:
    static bool Unexpected(const QString& text) {
        ADD_FAILURE() << "unexpected prompt: " << text.toStdString();
        return false;
    }
};

LinkTimings Quick() {
    LinkTimings t;
    t.tickMs = 5;
    t.replyTimerMs = 2000;
    t.tcpReadMs = 2000;
    t.tcpPauseMs = 5;
    return t;
}

TEST(SwitchingPageOverTcp, TheSwitcherReceivesTheOperatorsLines) {
    qvsim::SimOptions options;
    options.tcp = true;
    qvsim::SimThread sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;

    DeviceState state;
    state.status.bytes[14] = 3;
    state.status.bytes[19] = 1;
    state.model.ApplyModelCode(3);
    LinkState linkState;
    QuietHost host;
    NoPrompts prompts;
    DeviceLink link(linkState, host, prompts, SerialPortMap{}, Quick(), sim.TcpPort());
    ASSERT_EQ(link.TcpConnect(QStringLiteral("127.0.0.1")), DeviceLink::TcpOutcome::Probed);
    ASSERT_TRUE(WaitFor([&] { return linkState.EthernetConnected; }));
    sim.ClearReceivedLines();

    Switching switching(state);
    SwitchingPage page(state, linkState, switching, [&](const Commands& lines) {
        for (const auto& line : lines) {
            link.SendCommand(line);
        }
    });
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    const auto click = [&](const char* name) {
        auto* w = page.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        QTest::mouseClick(w, Qt::LeftButton);
    };

    click("InputButton2");
    click("OutputButton3");
    click("OutputMuteCheckBox3");
    click("TakeButton");
    click("OutputButton3");
    click("CancelTakeButton");
    click("ClearAllRoutingButton");

    ASSERT_TRUE(sim.WaitForLines(6, 10000));
    EXPECT_EQ(sim.ReceivedLines(), (std::vector<std::string>{"RTEMP 3 2 2", "OMUTE 3 1", "TAKE 1",
                                                             "RTEMP 3 0 0", "TAKE 0", "CLEAR"}));
    const qvsim::SimState after = sim.State();
    EXPECT_EQ(after.outputs[2].videoInput, qvsim::kNoInput);
    EXPECT_EQ(after.outputs[2].muted, 0);
    EXPECT_EQ(linkState.BusyFlag, 0);
    link.TcpClose();
}

} // namespace
} // namespace qvc::test
