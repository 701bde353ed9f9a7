// The page end to end: clicks go through a real DeviceLink over TCP to the
// switcher simulator, which must receive exactly the operator's lines.
#include "link/DeviceLink.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SimPeer.h"
#include "tests/support/WaitFor.h"
#include "ui/switching/SwitchingPage.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

TEST(SwitchingPageOverTcp, TheSwitcherReceivesTheOperatorsLines) {
    SimPeer peer({.demo = false, .tcp = true});
    qvsim::SimThread& sim = *peer;

    DeviceState state;
    state.status.bytes[14] = 3;
    state.status.bytes[19] = 1;
    state.model.ApplyModelCode(3);
    LinkState linkState;
    RecordingHost host;
    ScriptedPrompts prompts; // nothing scripted: no prompt may come on this path
    DeviceLink link(linkState, host, prompts, SerialPortMap{}, ShortTimings(), sim.TcpPort());
    ASSERT_EQ(link.TcpConnect(QStringLiteral("127.0.0.1")), DeviceLink::TcpOutcome::Probed);
    ASSERT_TRUE(WaitFor([&] { return linkState.EthernetConnected; }));
    sim.ClearReceivedLines();

    Switching switching(state);
    Presets presets(state, switching);
    LabelTables labels = DefaultLabels();
    SwitchingPage page(PageContext{state, linkState,
                                   [&](const Commands& lines) { link.SendCommands(lines); },
                                   prompts, labels, switching, presets});
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
