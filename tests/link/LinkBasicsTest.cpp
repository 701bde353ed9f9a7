// The fixed waits and the COM port map.
#include "LinkFixture.h"
#include "link/LinkTimings.h"
#include "link/SerialPortMap.h"
#include "protocol/Commands.h"

#include <QElapsedTimer>
#include <QtGlobal>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

TEST(LinkTimings, ProductionValuesAreFixed) {
    constexpr LinkTimings t = LinkTimings::Production();
    EXPECT_EQ(t.tickMs, 55);
    EXPECT_EQ(t.probeTicks, 10);
    EXPECT_EQ(t.commandTicks, 80);
    EXPECT_EQ(t.resetTicks, 810);
    EXPECT_EQ(t.replyTimerMs, 9000);
    EXPECT_EQ(t.tcpReadMs, 5000);
    EXPECT_EQ(t.tcpPauseMs, 100);
}

// Sets the four QVCONTROL_COMn variables for one test and restores them.
class ComEnvironment {
  public:
    explicit ComEnvironment(const std::array<const char*, 4>& values) {
        for (std::size_t i = 0; i < 4; ++i) {
            names_[i] = "QVCONTROL_COM" + QByteArray::number(static_cast<int>(i) + 1);
            saved_[i] = qgetenv(names_[i].constData());
            wasSet_[i] = qEnvironmentVariableIsSet(names_[i].constData());
            if (values[i] != nullptr) {
                qputenv(names_[i].constData(), values[i]);
            } else {
                qunsetenv(names_[i].constData());
            }
        }
    }
    ~ComEnvironment() {
        for (std::size_t i = 0; i < 4; ++i) {
            if (wasSet_[i]) {
                qputenv(names_[i].constData(), saved_[i]);
            } else {
                qunsetenv(names_[i].constData());
            }
        }
    }

  private:
    std::array<QByteArray, 4> names_;
    std::array<QByteArray, 4> saved_;
    std::array<bool, 4> wasSet_{};
};

TEST(SerialPortMap, NumbersOutsideOneToFourHaveNoDevice) {
    const SerialPortMap map({"/dev/a", "/dev/b", "/dev/c", "/dev/d"});
    EXPECT_EQ(map.DevicePath(1), "/dev/a");
    EXPECT_EQ(map.DevicePath(4), "/dev/d");
    EXPECT_EQ(map.DevicePath(0), "");
    EXPECT_EQ(map.DevicePath(5), "");
    EXPECT_EQ(map.DevicePath(-1), "");
}

// The list of present ports is read at every look-up: the same map follows
// ports that come and go, and a fixed device keeps its number throughout.
TEST(SerialPortMap, FixedDevicesComeFirstAndTheListFillsTheOtherNumbers) {
    QStringList present;
    const SerialPortMap map({QString(), "/dev/fixed2", QString(), QString()},
                            [&present] { return present; });
    struct Case {
        QStringList present;
        std::array<QString, 4> paths; // COM1..COM4
    };
    const Case cases[] = {
        {{}, {"", "/dev/fixed2", "", ""}},
        {{"/dev/ttyUSB0", "/dev/fixed2", "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2"},
         {"/dev/ttyUSB0", "/dev/fixed2", "/dev/ttyS0", "/dev/ttyS1"}},
        {{"/dev/ttyS0"}, {"/dev/ttyS0", "/dev/fixed2", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.present.join(' ').toStdString());
        present = c.present;
        for (int n = 1; n <= 4; ++n) {
            EXPECT_EQ(map.DevicePath(n), c.paths[static_cast<std::size_t>(n - 1)]) << "COM" << n;
        }
    }
}

// A search through the environment's map passes over a COM1 that does not
// exist and a COM2 without a device, and finds the switcher on COM3.
TEST(PortSearch, SkipsMissingPortsAndFindsTheSwitcherOnCom3) {
    SimPeer peer(SimSpec{.pty = true});
    const std::string pty = peer.PtyPath().toStdString();
    const ComEnvironment env({"/nonexistent/quorvel-com1", nullptr, pty.c_str(), nullptr});
    const SerialPortMap map = SerialPortMap::FromSystem();
    EXPECT_EQ(map.DevicePath(1), "/nonexistent/quorvel-com1");
    EXPECT_EQ(map.DevicePath(2), "");
    EXPECT_EQ(map.DevicePath(3), peer.PtyPath());

    LinkState state;
    RecordingHost host;
    ScriptedPrompts prompts;
    host.linkState = &state;
    DeviceLink link(state, host, prompts, map, ShortTimings());
    EXPECT_EQ(link.SearchPorts(0), 1);

    EXPECT_EQ(peer.Lines(1), Lines{""});
    EXPECT_EQ(host.statusTexts.back(), "Established communication with Quorvel on Com 3");
    EXPECT_EQ(host.comNumber, std::vector<QString>{"3"});
    EXPECT_EQ(link.CurrentPortNumber(), 3);
    EXPECT_TRUE(state.SerialPortOpen);
    EXPECT_EQ(link.PromptTimeout(), 80);
    // Page control off for the whole search, on at the end; hourglass likewise.
    ASSERT_FALSE(host.pageControl.empty());
    EXPECT_FALSE(host.pageControl.front());
    EXPECT_TRUE(host.pageControl.back());
    EXPECT_EQ(host.hourglassChanges, (std::vector<bool>{true, false}));
}

class PortSearchTest : public LinkFixture {
  protected:
    PortSearchTest() : LinkFixture({.pty = true}) {}
};

TEST_F(PortSearchTest, SwitcherAnsweringOnlyTheSecondProbeIsFound) {
    peer->ChangeFaults([](qvsim::Faults& f) { f.secondProbeOnly = true; });
    EXPECT_EQ(link->SearchPorts(0), 1);
    EXPECT_EQ(peer.Lines(2), (Lines{"", ""}));
    EXPECT_EQ(host.comNumber, std::vector<QString>{"3"});
}

TEST_F(PortSearchTest, FailedSearchClosesThePortAndShowsNone) {
    ASSERT_EQ(link->SearchPorts(0), 1);
    peer->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    peer->ClearReceivedLines();
    host.Clear();

    // The port open when COM1 and COM4 come up (the switcher's, then again
    // the switcher's after its two silent probes) is closed first, so those
    // numbers without a device fail to open and say so; COM2 comes up with
    // the port closed and is passed over silently.
    prompts.ExpectMessage("Note: COM Port #1 is not responding/being used by another application.");
    prompts.ExpectMessage("Note: COM Port #4 is not responding/being used by another application.");
    EXPECT_EQ(link->SearchPorts(0), -1);
    EXPECT_EQ(peer.Lines(2), (Lines{"", ""}));
    EXPECT_EQ(host.comNumber, std::vector<QString>{"None"});
    EXPECT_TRUE(host.statusTexts.empty() ||
                host.statusTexts.back() != "Established communication with Quorvel on Com 3");
    EXPECT_TRUE(WaitFor([&] { return !state.SerialPortOpen; }));
    EXPECT_EQ(link->PromptTimeout(), 80);
    EXPECT_FALSE(link->QueryStatus("MINFOQV", 20)); // the port is closed
}

TEST_F(PortSearchTest, SearchingTheOpenPortReopensIt) {
    ASSERT_EQ(link->SearchPorts(3), 1);
    ASSERT_EQ(link->SearchPorts(3), 1);
    EXPECT_EQ(peer.Lines(2), (Lines{"", ""}));
    EXPECT_TRUE(state.SerialPortOpen);
    link->SetSerialConnected(true);
    link->SendCommand(cmd::Clear());
    EXPECT_EQ(peer.Lines(3), (Lines{"", "", "CLEAR"}));
}

TEST_F(PortSearchTest, ProbeWaitsAreShortDuringASearch) {
    peer->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(link->SearchPorts(3), -1);
    // Two probes of 10 ticks each, not 80.
    EXPECT_GE(clock.elapsed(), 2 * 50);
    EXPECT_LT(clock.elapsed(), 80 * 5);
}

// COM1 names a device that does not exist and COM2 none at all. Chosen while
// the switcher's port is open, either one closes that port first and then
// fails to open; chosen while no port is open, it is passed over silently.
TEST_F(PortSearchTest, AbsentPortChosenWhileAnotherIsOpenClosesItAndSaysSo) {
    UsePorts(SerialPortMap({"/nonexistent/quorvel-com1", QString(), peer.PtyPath(), QString()}));
    struct Case {
        int n;
        bool search; // SearchPorts, else OpenAndCheckPort
        int result;
        QString message;
    };
    const Case cases[] = {
        {1, true, -1, "Note: COM Port #1 is not responding/being used by another application."},
        {2, false, DeviceLink::PortOpenFailed,
         "Note: COM Port #2 is not responding/being used by another application."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("COM" + std::to_string(c.n) + (c.search ? " searched" : " opened"));
        ASSERT_EQ(link->SearchPorts(3), 1);
        ASSERT_TRUE(state.SerialPortOpen);
        peer->ClearReceivedLines();
        host.Clear();

        prompts.ExpectMessage(c.message, [&] { EXPECT_FALSE(state.SerialPortOpen); });
        EXPECT_EQ(c.search ? link->SearchPorts(c.n) : link->OpenAndCheckPort(c.n), c.result);
        prompts.VerifyAllUsed();
        EXPECT_FALSE(state.SerialPortOpen);
        EXPECT_EQ(link->CurrentPortNumber(), c.n);
        EXPECT_EQ(host.comNumber, c.search ? std::vector<QString>{"None"} : std::vector<QString>{});
        EXPECT_TRUE(peer->ReceivedLines().empty()); // nothing was probed
        EXPECT_FALSE(link->QueryStatus("MINFOQV", 20));
    }
    // With no port open, the absent ports are passed over without a word.
    EXPECT_EQ(link->OpenAndCheckPort(1), DeviceLink::PortUnavailable);
    EXPECT_EQ(link->OpenAndCheckPort(2), DeviceLink::PortUnavailable);
    EXPECT_EQ(link->SearchPorts(2), -1);
}

// However many probes a search makes, on one port or several, the pages are
// disabled once at its start and enabled once at its end.
TEST_F(PortSearchTest, PageControlStaysDisabledForTheWholeSearch) {
    SimPeer silent(SimSpec{.pty = true});
    silent->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    UsePorts(SerialPortMap({QString(), silent.PtyPath(), peer.PtyPath(), QString()}));
    struct Case {
        const char* name;
        int n;
        bool com3Silent;
        int result;
        Lines com2Probes;
        Lines com3Probes;
    };
    const Case cases[] = {
        {"COM2 silent, COM3 answers", 0, false, 1, {"", ""}, {""}},
        {"COM3 open and silent", 3, true, -1, {}, {"", ""}},
        {"COM2 silent", 2, true, -1, {"", ""}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        peer->ChangeFaults([&](qvsim::Faults& f) { f.silent = c.com3Silent; });
        peer->ClearReceivedLines();
        silent->ClearReceivedLines();
        host.Clear();

        EXPECT_EQ(link->SearchPorts(c.n), c.result);
        EXPECT_EQ(host.pageControl, (std::vector<bool>{false, true}));
        EXPECT_EQ(host.hourglassChanges, (std::vector<bool>{true, false}));
        EXPECT_EQ(silent.Lines(c.com2Probes.size()), c.com2Probes);
        EXPECT_EQ(peer.Lines(c.com3Probes.size()), c.com3Probes);
    }
}

// An adapter plugged in after the link was made is found by the next search.
TEST_F(PortSearchTest, AdapterPluggedInAfterStartIsFoundByTheNextSearch) {
    QStringList present;
    UsePorts(SerialPortMap({}, [&present] { return present; }));
    EXPECT_EQ(link->SearchPorts(0), -1);
    EXPECT_EQ(host.comNumber, std::vector<QString>{"None"});

    present = {peer.PtyPath()};
    EXPECT_EQ(link->SearchPorts(0), 1);
    EXPECT_EQ(host.comNumber, (std::vector<QString>{"None", "1"}));
    EXPECT_EQ(host.statusTexts.back(), "Established communication with Quorvel on Com 1");
    EXPECT_EQ(link->CurrentPortNumber(), 1);
    EXPECT_EQ(peer.Lines(1), Lines{""});
}

} // namespace
} // namespace qvc::test
