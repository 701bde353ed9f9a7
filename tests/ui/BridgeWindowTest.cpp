// The desktop program in Ethernet mode at the bridge's switcher port: the
// switcher receives the same lines as when the window talks to it directly,
// and the bridge's mirror shows each change by the time the window has the
// switcher's acknowledgement. The window blocks this thread while it waits
// for an answer, so the bridge runs on a thread of its own (BridgeThread);
// the simulator has its own too.
#include "FormRig.h"
#include "tests/bridge/BridgeThread.h"

#include <QAbstractButton>
#include <QTest>

namespace qvc::test {
namespace {

const SimSpec kSpec{.model = 3, .demo = true, .tcp = true};

struct Outcome {
    Lines lines;              // what the switcher received from the window
    DeviceState window;       // the window's state at the end
    qvsim::SimState switcher; // the switcher's
};

void Click(FormRig& rig, const QString& name) {
    auto* w = rig.Find<QAbstractButton>(name);
    ASSERT_TRUE(w != nullptr && w->isVisible() && w->isEnabled()) << name.toStdString();
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2));
}

// Read-back, a route, Take and a preset store; `step` runs after each of the
// three writes, once the window has its acknowledgement.
void Operate(FormRig& rig, const std::function<void(const char* what)>& step) {
    rig.ConnectEthernet();
    ASSERT_TRUE(rig.Form().Flags().EthernetConnected);
    rig.ClickTab(QStringLiteral("A / V Switching"));
    Click(rig, QStringLiteral("InputButton5"));
    Click(rig, QStringLiteral("OutputButton9"));
    step("route");
    Click(rig, QStringLiteral("TakeButton"));
    step("take");
    Click(rig, QStringLiteral("PresetsSaveButton"));
    Click(rig, QStringLiteral("PresetButton3"));
    step("store");
    EXPECT_TRUE(rig.prompts.Records().empty());
}

TEST(BridgeWindowTest, TheWindowThroughTheBridgeSendsWhatItSendsDirectly) {
    Outcome direct;
    {
        FormRig rig;
        auto& sim = rig.StartSim(kSpec);
        rig.CreateForm(&sim);
        Operate(rig, [](const char*) {});
        direct = {sim.ReceivedLines(), rig.Form().State(), sim.State()};
    }
    const Lines readBack = Join({""}, ReadBackLines());
    ASSERT_GT(direct.lines.size(), readBack.size());
    EXPECT_EQ(Lines(direct.lines.begin(), direct.lines.begin() + 23), readBack);
    EXPECT_EQ(direct.lines[23], "RTEMP 9 5 5");
    EXPECT_EQ(direct.lines.back(), "PRST 3");

    Outcome bridged;
    {
        FormRig rig;
        auto& sim = rig.StartSim(kSpec);
        BridgeThread bridge(sim);
        ASSERT_TRUE(sim.WaitForLines(23, 5000));
        sim.ClearReceivedLines();
        rig.CreateFormOnPort(bridge.SwitcherPort());
        int revision = bridge.Revision();
        // The window has the acknowledgement when its click returns: the
        // bridge's state shows the change by then, one revision on per line.
        Operate(rig, [&](const char* what) {
            SCOPED_TRACE(what);
            const DeviceState mirror = bridge.State();
            EXPECT_EQ(mirror.outputs.videoInput(8), 4);
            EXPECT_EQ(mirror.outputs.audioInput(8), 4);
            if (std::string_view(what) == "route") {
                EXPECT_EQ(bridge.Revision(), revision + 1);
                EXPECT_EQ(mirror.outputs.videoTaken(8), 0);
            } else {
                EXPECT_EQ(mirror.outputs.videoTaken(8), 1);
                EXPECT_EQ(bridge.Revision(), revision + (std::string_view(what) == "take" ? 1 : 2));
            }
            EXPECT_EQ(mirror.outputs.bytes, rig.Form().State().outputs.bytes);
            revision = bridge.Revision();
        });
        // (That the mirror follows PRST as a read-back would show is
        // tests/link/LineEffectsTest.cpp's.)
        ASSERT_TRUE(WaitFor([&] { return bridge.Idle(); }));
        bridged = {sim.ReceivedLines(), rig.Form().State(), sim.State()};
    }
    EXPECT_EQ(bridged.lines, direct.lines);
    EXPECT_EQ(bridged.window.outputs.bytes, direct.window.outputs.bytes);
    EXPECT_EQ(bridged.window.presets.bytes, direct.window.presets.bytes);
    EXPECT_EQ(bridged.switcher, direct.switcher);
}

} // namespace
} // namespace qvc::test
