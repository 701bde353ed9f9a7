// The serial link against the simulator on a pseudo-terminal reached as COM3:
// command exchanges with their resends and recovery dialog, the status
// exchange and its reply collector, the terminal copy and the line lamps.
#include "LinkFixture.h"
#include "link/ReadBack.h"
#include "model/DeviceState.h"
#include "protocol/Commands.h"
#include "protocol/Framing.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

class SerialLinkTest : public LinkFixture {
  protected:
    SerialLinkTest() : LinkFixture({.pty = true}) {}
};

TEST_F(SerialLinkTest, CommandIsWrittenAndItsPromptAwaited) {
    ConnectSerial();
    link->SendCommand(cmd::Rtemp(1, 4, 4));

    EXPECT_EQ(peer.Lines(1), Lines{"RTEMP 2 5 5"});
    EXPECT_EQ(host.statusTexts, (std::vector<QString>{"Sending command....", ""}));
    EXPECT_EQ(host.pageControl, (std::vector<bool>{false, true}));
    EXPECT_EQ(host.busyAtPageControl, (std::vector<int>{1, 1})); // set during the prompt wait
    EXPECT_EQ(state.BusyFlag, 0);                                // and restored after it
    EXPECT_EQ(host.hourglassChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(link->PromptTimeout(), 80);
}

TEST_F(SerialLinkTest, EveryCommandKindWritesItsLine) {
    ConnectSerial();
    link->SendCommand(cmd::IpConfigCommand(-1, 2, 3, 4));
    link->SendCommand(cmd::Rtemp(1, 4, 100));
    link->SendCommand(cmd::Rtemp(1, -1, -1));
    link->SendCommand(cmd::Take(true));
    link->SendCommand(cmd::Take(false));
    link->SendCommand(cmd::Omute(0, 1));
    link->SendCommand(cmd::Alvl(15, 252));
    link->SendCommand(cmd::Fplock(true));
    link->SendCommand(cmd::Fplock(false));
    link->SendCommand(cmd::Switch(3));
    link->SendCommand(cmd::Fdly(4000));
    link->SendCommand(cmd::Clear());
    link->SendCommand(cmd::Rprst(0, 1));
    link->SendCommand(cmd::Prst(15));
    link->SendCommand(cmd::Gclear(200));
    link->SendCommand(cmd::Gadd(0, 100, 2));
    link->SendCommand(cmd::Gdel(0, 3, 100));
    link->SendCommand(cmd::ResetCommand(false));
    link->SendCommand(cmd::ResetCommand(true));

    const Lines expected = {
        "IPCONFIG -1 2 3 4", "RTEMP 2 5 101", "RTEMP 2 0 0", "TAKE 1",   "TAKE 0",
        "OMUTE 1 1",         "ALVL 16 252",   "FPLOCK 1",    "FPLOCK 0", "SWITCH 3",
        "FDLY 4000",         "CLEAR",         "RPRST 1 1",   "PRST 16",  "GCLEAR 201",
        "GADD 1 101 3",      "GDEL 1 4 101",  "RESETQV R",   "RESETQV F"};
    EXPECT_EQ(peer.Lines(expected.size()), expected);
    EXPECT_EQ(link->PromptTimeout(), 80);
}

TEST_F(SerialLinkTest, CommandsAreDroppedSilentlyWithoutALink) {
    link->SendCommand(cmd::Rtemp(0, 0, 0));
    link->SendCommand(cmd::Take(true));
    link->SendCommand(cmd::Clear());
    link->SendCommand(cmd::IpConfigCommand(10, 0, 0, 5));
    link->SendCommand(cmd::ResetCommand(true));
    EXPECT_TRUE(host.statusTexts.empty());
    EXPECT_TRUE(host.hourglassChanges.empty());

    // The probe of a search is the first thing the switcher ever hears.
    ASSERT_EQ(link->SearchPorts(3), 1);
    EXPECT_EQ(peer.Lines(1), Lines{""});
}

TEST_F(SerialLinkTest, CommandWithClosedPortIsSkipped) {
    link->SetSerialConnected(true); // connected, but no port was ever opened
    link->SendCommand(cmd::Clear());
    EXPECT_TRUE(link->AwaitPrompt("TAKE 1"));
    EXPECT_FALSE(link->QueryStatus("MINFOQV", 20));
    EXPECT_TRUE(link->ExchangeFailed());

    link->SetSerialConnected(false);
    ASSERT_EQ(link->SearchPorts(3), 1);
    EXPECT_EQ(peer.Lines(1), Lines{""});
}

TEST_F(SerialLinkTest, UnacknowledgedCommandIsFollowedByTwoProbes) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.noPrompt = true; }); // probes are still answered
    link->SendCommand(cmd::Fplock(true));
    EXPECT_EQ(peer.Lines(2), (Lines{"FPLOCK 1", ""}));
}

TEST_F(SerialLinkTest, SilentSwitcherBringsTheRecoveryDialog) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    prompts.ExpectOkCancel(kRecoverTitle, kRecoverText, true);  // OK: re-open and probe again
    prompts.ExpectOkCancel(kRecoverTitle, kRecoverText, false); // Cancel: the command is dropped
    link->SendCommand(cmd::Take(true));

    // The command, two bare CRs, then each re-open probes twice.
    EXPECT_EQ(peer.Lines(7), (Lines{"TAKE 1", "", "", "", "", "", ""}));
    EXPECT_EQ(link->PromptTimeout(), 10);
    prompts.VerifyAllUsed();

    // After Cancel the prompt waits are short (10 ticks) until a re-open
    // succeeds: the dialog comes after 5 short waits, well before the three
    // 80-tick waits of a normal command would even have run out.
    peer->ClearReceivedLines();
    QElapsedTimer clock;
    qint64 dialogAfterMs = -1;
    prompts.ExpectOkCancel(kRecoverTitle, kRecoverText, true, [&] {
        dialogAfterMs = clock.elapsed();
        peer->ChangeFaults([](qvsim::Faults& f) { f.silent = false; });
    });
    clock.start();
    link->SendCommand(cmd::Clear());

    EXPECT_GE(dialogAfterMs, 5 * 50);
    EXPECT_LT(dialogAfterMs, 3 * 80 * 5);
    // The switcher answers again: one probe, then the command once more.
    EXPECT_EQ(peer.Lines(7), (Lines{"CLEAR", "", "", "", "", "", "CLEAR"}));
    EXPECT_EQ(link->PromptTimeout(), 80);
}

TEST_F(SerialLinkTest, ResetWaitsLongerForItsPrompt) {
    ConnectSerial();
    // Longer than a command's 80 ticks, shorter than a reset's 810.
    peer->ChangeFaults([](qvsim::Faults& f) { f.replyDelayMs = 80 * 5 + 300; });
    link->SendCommand(cmd::ResetCommand(false));
    peer->ChangeFaults([](qvsim::Faults& f) { f.replyDelayMs = 0; });
    link->SendCommand(cmd::Clear());
    EXPECT_EQ(peer.Lines(2), (Lines{"RESETQV R", "CLEAR"}));
    EXPECT_EQ(link->PromptTimeout(), 80);
}

// The line and its CR must leave room in the 4096-byte output buffer: 4095
// bytes are written whole, 4096 are not written at all.
TEST_F(SerialLinkTest, LineThatDoesNotFitTheOutputBufferIsRefused) {
    ConnectSerial();
    struct Case {
        std::size_t length; // without the CR
        bool written;
    };
    const Case cases[] = {{4094, true}, {4095, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        peer->ClearReceivedLines();
        const std::string line(c.length, 'A');
        if (!c.written) {
            prompts.ExpectMessage(
                "Error! RS-232 communication port output buffer overflow. Please resend command.");
        }
        link->SendCommand(Command(line));
        prompts.VerifyAllUsed();
        // Refused, the line brings no prompt: the first bare CR that follows
        // is all the switcher hears.
        EXPECT_EQ(peer.Lines(1), c.written ? Lines{line} : Lines{""});
    }
}

// --- status exchange ------------------------------------------------------------

TEST_F(SerialLinkTest, StatusReplyIsCollectedWithTextBeforeSoh) {
    ConnectSerial();
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(FindSoh(link->ReceiveBuffer()), std::optional<std::size_t>(0));
    Bytes payload = Received(22);
    EXPECT_EQ(Bytes(payload.begin() + 2, payload.end()), kDemoStatusBlock);

    peer->ChangeFaults([](qvsim::Faults& f) { f.textBeforeSoh = 29; });
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(FindSoh(link->ReceiveBuffer()), std::optional<std::size_t>(29));
    payload = Received(51);
    EXPECT_EQ(Bytes(payload.begin() + 31, payload.end()), kDemoStatusBlock);
    EXPECT_EQ(peer.Lines(2), (Lines{"MINFOQV", "MINFOQV"}));
    // Nothing but the reply timer's start and stop: no status text.
    EXPECT_TRUE(host.statusTexts.empty());
}

TEST_F(SerialLinkTest, HashInsidePayloadBeforeExpectedLengthDoesNotEndReply) {
    ConnectSerial();
    // CR LF '#' at indices 10..12, below ExpectedLength 20: payload data.
    const Bytes reply = B("\x01"
                          "0ABCDEFG\r\n#HIJKLMNOPQ\r\n#");
    ASSERT_EQ(reply.size(), 25u);
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["MINFOQV"] = reply; });
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(Received(25), reply);
}

TEST_F(SerialLinkTest, HashAtExpectedLengthAfterCrLfEndsReply) {
    ConnectSerial();
    // CR LF '#' with the '#' at index 20 = ExpectedLength: the reply ends
    // there; what follows is not stored.
    const Bytes reply = B("\x01"
                          "0ABCDEFGHIJKLMNOP\r\n#QR\r\n#");
    ASSERT_EQ(reply[20], '#');
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["MINFOQV"] = reply; });
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    Bytes expected(reply.begin(), reply.begin() + 21);
    expected.resize(26, 0);
    EXPECT_EQ(Received(26), expected);

    // The tail is discarded by the next exchange.
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(Payload(2, 20), kDemoStatusBlock);
}

// Only CR, LF and '#' in this order end a reply; every other '#' at
// ExpectedLength or later is data. ExpectedLength is 2 here, so each '#'
// below is a candidate; bytes after the end are not stored.
TEST_F(SerialLinkTest, OnlyCrThenLfBeforeTheHashEndsAReply) {
    ConnectSerial();
    struct Case {
        const char* name;
        Bytes reply;
        std::size_t end; // index of the '#' that ends it
        int chunk;       // >0: the reply arrives in pieces of this size
    };
    const Bytes head = B("\x01"
                         "0");
    const Case cases[] = {
        {"LF CR #", Cat({head, B("\n\r#\r\n#ZZ")}), 7, 0},
        {"LF #", Cat({head, B("\n#\r\n#ZZ")}), 6, 0},
        {"CR #", Cat({head, B("\r#\r\n#ZZ")}), 6, 0},
        {"CR LF X #", Cat({head, B("\r\nX#\r\n#ZZ")}), 8, 0},
        {"CR LF # a byte at a time", Cat({head, B("AB\r\n#ZZ")}), 6, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.reply[c.end], '#');
        peer->ChangeFaults([&](qvsim::Faults& f) {
            f.chunkSize = c.chunk;
            f.chunkPauseMs = 1;
            f.canned["MINFOQV"] = c.reply;
        });
        ASSERT_TRUE(link->QueryStatus("MINFOQV", 2));
        Bytes expected(c.reply.begin(), c.reply.begin() + static_cast<std::ptrdiff_t>(c.end) + 1);
        expected.resize(c.reply.size() + 2, 0);
        EXPECT_EQ(Received(c.reply.size() + 2), expected);
    }
}

TEST_F(SerialLinkTest, ReplyInSmallPiecesIsJoinedInOrder) {
    ConnectSerial();
    ASSERT_TRUE(link->QueryStatus("PINFOQV", 1568));
    const Bytes whole = Received(1568 + 5);

    peer->ChangeFaults([](qvsim::Faults& f) {
        f.chunkSize = 7;
        f.chunkPauseMs = 1;
    });
    ASSERT_TRUE(link->QueryStatus("PINFOQV", 1568));
    EXPECT_EQ(Received(1568 + 5), whole);
    EXPECT_EQ(whole[0], kSoh);
    EXPECT_EQ((Bytes{whole[1570], whole[1571], whole[1572]}), B("\r\n#"));
}

TEST_F(SerialLinkTest, SilentSwitcherShowsOneTimeoutMessageThenFails) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    prompts.ExpectMessage(kSerialTimeoutText, [&] {
        // While the message is open the exchange has not failed yet.
        EXPECT_FALSE(link->ExchangeFailed());
        EXPECT_TRUE(link->ReplyPending());
    });
    EXPECT_FALSE(link->QueryStatus("AINFOQV", 16));
    EXPECT_TRUE(link->ExchangeFailed());
    EXPECT_FALSE(link->ReplyPending());
    EXPECT_EQ(peer.Lines(1), Lines{"AINFOQV"});
}

TEST_F(SerialLinkTest, ReplyCompletingWhileTimeoutMessageIsOpenStillFails) {
    ConnectSerial();
    peer->ChangeFaults(
        [&](qvsim::Faults& f) { f.replyDelayMs = ShortTimings().replyTimerMs + 300; });
    prompts.ExpectMessage(kSerialTimeoutText, [&] {
        // The late reply arrives and completes while the user reads the message.
        EXPECT_TRUE(WaitFor([&] { return !link->ReplyPending(); }));
        EXPECT_FALSE(link->ExchangeFailed());
    });
    EXPECT_FALSE(link->QueryStatus("MINFOQV", 20));
    EXPECT_TRUE(link->ExchangeFailed());
}

TEST_F(SerialLinkTest, HandlerRunningInsideAnExchangeCannotStartAnother) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.replyDelayMs = 300; });
    bool nestedRan = false;
    bool nestedQuery = true;
    // A timer event dispatched while the status reply is awaited.
    QTimer::singleShot(20, [&] {
        nestedRan = true;
        link->SendCommand(cmd::Clear());
        nestedQuery = link->QueryStatus("AINFOQV", 16);
        EXPECT_EQ(link->SearchPorts(0), -1);
    });
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_TRUE(nestedRan);
    EXPECT_FALSE(nestedQuery);
    EXPECT_EQ(Payload(2, 20), kDemoStatusBlock);
    peer->ChangeFaults([](qvsim::Faults& f) { f.replyDelayMs = 0; });
    link->SendCommand(cmd::Take(false));
    EXPECT_EQ(peer.Lines(2), (Lines{"MINFOQV", "TAKE 0"}));
}

TEST_F(SerialLinkTest, OversizedReplyStopsAtTheBufferEndAndTimesOut) {
    ConnectSerial();
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["PINFOQV"] = Bytes(6000, 'A'); });
    prompts.ExpectMessage(kSerialTimeoutText);
    EXPECT_FALSE(link->QueryStatus("PINFOQV", 1568));
    const auto buffer = link->ReceiveBuffer();
    ASSERT_EQ(buffer.size(), 5200u);
    EXPECT_EQ(buffer[0], 'A');
    EXPECT_EQ(buffer[5199], 'A');

    // The next exchange starts clean.
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(Payload(2, 20), kDemoStatusBlock);
}

TEST_F(SerialLinkTest, BytesArrivingWhileNoReplyIsAwaitedAreDiscarded) {
    ConnectSerial();
    // The prompt, then a whole framed reply that nobody asked for.
    const Bytes junk = Cat({B("#"), Framed(Bytes(20, 'Z'))});
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["TAKE"] = junk; });
    link->SendCommand(cmd::Take(false));
    ASSERT_TRUE(
        WaitFor([&] { return host.terminal.size() == static_cast<qsizetype>(junk.size()); }));

    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(Payload(2, 20), kDemoStatusBlock);
    EXPECT_EQ(peer.Lines(2), (Lines{"TAKE 0", "MINFOQV"}));
}

TEST_F(SerialLinkTest, TerminalGetsACopyOfEveryReceivedByte) {
    ConnectSerial();
    link->SendCommand(cmd::Clear());
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    const Bytes expected = Cat({B("#"), Framed(kDemoStatusBlock)});
    ASSERT_TRUE(
        WaitFor([&] { return host.terminal.size() >= static_cast<qsizetype>(expected.size()); }));
    EXPECT_EQ(Bytes(host.terminal.begin(), host.terminal.end()), expected);
}

TEST_F(SerialLinkTest, LineLampsFollowTheMonitor) {
    ASSERT_EQ(link->SearchPorts(3), 1);
    link->SetSerialConnected(true);
    link->SendCommand(cmd::Clear());
    // TXD and RXD light up with the traffic, then go out again; a
    // pseudo-terminal cannot report DCD, DSR and CTS, so they stay unlit.
    ASSERT_FALSE(host.lamps.empty());
    const auto lit = [&](bool LineLamps::*lamp) {
        return std::any_of(host.lamps.begin(), host.lamps.end(),
                           [&](const LineLamps& l) { return l.*lamp; });
    };
    EXPECT_TRUE(lit(&LineLamps::txd));
    EXPECT_TRUE(lit(&LineLamps::rxd));
    EXPECT_FALSE(lit(&LineLamps::dcd));
    EXPECT_FALSE(lit(&LineLamps::dsr));
    EXPECT_FALSE(lit(&LineLamps::cts));
    EXPECT_TRUE(WaitFor([&] { return !host.lamps.back().txd && !host.lamps.back().rxd; }));

    link->SetSerialConnected(false);
    const LineLamps off = host.lamps.back();
    EXPECT_FALSE(off.txd || off.rxd || off.dcd || off.dsr || off.cts);
    const std::size_t count = host.lamps.size();
    link->SendCommand(cmd::Clear()); // not connected: nothing sent, nothing shown
    EXPECT_EQ(host.lamps.size(), count);
}

// The switcher's end of the line goes away while the port is probed (as
// when an adapter is pulled out): the port reports an error, the probe is
// not repeated, and the user is told.
TEST(PortProbe, PortErrorDuringTheProbeIsReported) {
    QTemporaryDir dir;
    qvsim::SimOptions options;
    options.ptyPath = dir.filePath(QStringLiteral("com")).toStdString();
    auto sim = std::make_unique<qvsim::SimThread>(options);
    ASSERT_TRUE(sim->Start());
    LinkState state;
    RecordingHost host;
    ScriptedPrompts prompts;
    DeviceLink link(
        state, host, prompts,
        SerialPortMap({QString(), QString::fromStdString(sim->PtyPath()), QString(), QString()}),
        ShortTimings());
    // Runs while the link waits for the port's open event, before the probe.
    QTimer::singleShot(0, [&] { sim.reset(); });
    prompts.ExpectMessage("Note: COM Port #2 is not responding.");
    EXPECT_EQ(link.OpenAndCheckPort(2), DeviceLink::PortFaulted);
    EXPECT_EQ(sim, nullptr);
}

} // namespace
} // namespace qvc::test
