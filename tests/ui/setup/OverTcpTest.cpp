// The page end to end: settings and a reset go through a real DeviceLink over
// TCP to the switcher simulator, which must receive exactly these lines.
#include "link/DeviceLink.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SimPeer.h"
#include "tests/support/WaitFor.h"
#include "ui/setup/SetupPage.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

TEST(SetupPageOverTcp, TheSwitcherTakesTheSettingsAndTheReset) {
    SimPeer peer({.demo = false, .tcp = true});
    qvsim::SimThread& sim = *peer;
    DeviceState state;
    LinkState linkState;
    RecordingHost host;
    ScriptedPrompts prompts;
    DeviceLink link(linkState, host, prompts, SerialPortMap{}, ShortTimings(), sim.TcpPort());
    ASSERT_EQ(link.TcpConnect(QStringLiteral("127.0.0.1")), DeviceLink::TcpOutcome::Probed);
    ASSERT_TRUE(WaitFor([&] { return linkState.EthernetConnected; }));
    sim.ClearReceivedLines();

    Switching switching(state);
    Presets presets(state, switching);
    LabelTables labels = DefaultLabels();
    const CommandSink sink = [&](const Commands& lines) { link.SendCommands(lines); };
    // The context's later optional members keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
    SetupPage page(PageContext{state, linkState, sink, prompts, labels, switching, presets});
#pragma GCC diagnostic pop
    page.show();
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    const auto find = [&](const char* name) {
        return page.findChild<QWidget*>(QString::fromLatin1(name));
    };
    QTest::mouseClick(find("FrontPanelLockCheckBox"), Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseClick(find("VideoSwitchSourceRadioGroupItem2"), Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseClick(find("RGBDelayEdit"), Qt::LeftButton);
    QTest::keyClick(find("RGBDelayEdit"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(find("RGBDelayEdit"), QStringLiteral("250"));
    QTest::keyClick(find("RGBDelayEdit"), Qt::Key_Return);
    ASSERT_TRUE(sim.WaitForLines(3, 10000));
    EXPECT_EQ(sim.State().settings.frontPanelLock, 1);
    EXPECT_EQ(sim.State().settings.videoSwitchSource, 2);
    EXPECT_EQ(sim.State().settings.rgbDelay, 250);

    prompts.ExpectYesNo(true);
    QTest::mouseClick(find("ResetButton"), Qt::LeftButton);
    ASSERT_TRUE(sim.WaitForLines(4, 10000));
    EXPECT_EQ(sim.ReceivedLines(), (Lines{"FPLOCK 1", "SWITCH 2", "FDLY 250", "RESETQV R"}));
    EXPECT_EQ(sim.State().settings.rgbDelay, 0); // the switcher's saved settings are back
    EXPECT_EQ(linkState.BusyFlag, 0);
    link.TcpClose();
}

} // namespace
} // namespace qvc::test
