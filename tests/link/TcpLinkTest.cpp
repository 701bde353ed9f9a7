// The TCP link against the simulator on an ephemeral loopback port: connect
// and probe, commands, IPCONFIG without a wait, the status exchange and its
// end rule, and the socket's failures.
#include "LinkFixture.h"
#include "link/IpAddress.h"
#include "link/SocketErrorText.h"
#include "protocol/Commands.h"
#include "protocol/Framing.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qvc::test {
namespace {

const QString kConnectErrorText = "Socket Connection Error: Check Ethernet cable";

class TcpLinkTest : public LinkFixture {
  protected:
    TcpLinkTest() : LinkFixture({.tcp = true}) {}

    bool AllZero() const {
        const auto buffer = link->ReceiveBuffer();
        return std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0; });
    }
};

TEST_F(TcpLinkTest, ConnectProbesWithABareCr) {
    // The address is written in normal dotted form before the connect.
    EXPECT_EQ(link->TcpConnect("127.000.000.001"), DeviceLink::TcpOutcome::Probed);
    EXPECT_TRUE(state.EthernetConnected);
    EXPECT_FALSE(state.EthernetConnecting);
    EXPECT_TRUE(link->TcpActive());
    EXPECT_EQ(peer.Lines(1), Lines{""});
    EXPECT_EQ(host.hourglassChanges, (std::vector<bool>{true, false}));

    link->TcpClose();
    EXPECT_FALSE(link->TcpActive());
    EXPECT_FALSE(state.EthernetConnected);
}

TEST_F(TcpLinkTest, SilentSwitcherLeavesTheConnectionOpen) {
    peer->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    EXPECT_EQ(link->TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::Silent);
    EXPECT_TRUE(state.EthernetConnected);
    EXPECT_TRUE(link->TcpActive());
}

TEST_F(TcpLinkTest, RefusedConnectionShowsTheConnectionError) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    DeviceLink other(state, host, prompts, SerialPortMap(), ShortTimings(), port);

    prompts.ExpectMessage(kConnectErrorText);
    EXPECT_EQ(other.TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::NotConnected);
    EXPECT_FALSE(state.EthernetConnected);
    EXPECT_FALSE(state.EthernetConnecting);
}

TEST_F(TcpLinkTest, ConnectThatNeverCompletesTimesOutWithTheEthernetText) {
    // A listener whose accept queue is full drops further connection
    // attempts: the connect neither succeeds nor fails.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(filler);
    }
    DeviceLink other(state, host, prompts, SerialPortMap(), ShortTimings(),
                     ntohs(address.sin_port));

    prompts.ExpectMessage(kEthernetTimeoutText, [&] { EXPECT_TRUE(state.EthernetConnecting); });
    EXPECT_EQ(other.TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::NotConnected);
    EXPECT_FALSE(state.EthernetConnecting);
    EXPECT_FALSE(state.EthernetConnected);
    EXPECT_FALSE(other.TcpActive());
    for (const int fd : fillers) {
        ::close(fd);
    }
    ::close(listener);
}

TEST_F(TcpLinkTest, AddressTextIsCheckedBeforeAnyConnect) {
    EXPECT_EQ(NormaliseIpAddress("192.168.001.020"), "192.168.1.20");
    EXPECT_EQ(NormaliseIpAddress("010.0.0.5"), "10.0.0.5");
    EXPECT_EQ(NormaliseIpAddress("  10. 0.  0.5"), "10.0.0.5");

    const QString form =
        "Please enter the IP Address as four numbers from 0 to 255 in the form a.b.c.d";
    EXPECT_EQ(CheckConnectAddress(""), "Please enter an IP Address");
    EXPECT_EQ(CheckConnectAddress("   "), "Please enter an IP Address");
    EXPECT_EQ(CheckConnectAddress("192.168.1"), form);
    EXPECT_EQ(CheckConnectAddress("192.168..1"), form);
    EXPECT_EQ(CheckConnectAddress("192.168.1.256"), form);
    EXPECT_EQ(CheckConnectAddress("-1.168.1.2"), form);
    EXPECT_EQ(CheckConnectAddress("abc"), form);
    EXPECT_EQ(CheckConnectAddress("99999999999999999999.1.1.1"), form);
    EXPECT_EQ(CheckConnectAddress("192.168.001.020"), "");

    // A text that slips through to the link is still refused, unconnected.
    prompts.ExpectMessage(form);
    EXPECT_EQ(link->TcpConnect("10.0.0"), DeviceLink::TcpOutcome::NotConnected);
    EXPECT_FALSE(link->TcpActive());
    prompts.VerifyAllUsed();
    ConnectTcp();
    link->SendCommand(cmd::Clear());
    EXPECT_EQ(peer.Lines(1), Lines{"CLEAR"});
}

// Only four dot-separated decimal numbers are an address: anything else is
// refused with the form message by both checks, and neither connects nor
// sends. Leading zeros and blanks around the numbers are still accepted.
TEST_F(TcpLinkTest, TextThatIsNotExactlyFourDottedNumbersIsRefused) {
    const QString form =
        "Please enter the IP Address as four numbers from 0 to 255 in the form a.b.c.d";
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"1.2.3.4.5", false},      {"192.168.1.50/24", false}, {"10.0.0.5 junk", false},
        {"1 2.3.4.5", false},      {"0x7f.0.0.1", false},      {"10.0.0.5.", false},
        {"10.0.0,5", false},       {".10.0.0.5", false},       {"10.0.0.5x", false},
        {"010.000.0.05", true},    {"  10.0.0.5  ", true},     {"10. 0 .0\t.5", true},
        {"255.255.255.255", true},
    };
    for (const Case& c : cases) {
        const std::string expected = c.accepted ? "" : form.toStdString();
        EXPECT_EQ(CheckConnectAddress(c.text).toStdString(), expected) << c.text;
        EXPECT_EQ(CheckIpConfigAddress(c.text).toStdString(), expected) << c.text;
    }

    ConnectTcp();
    prompts.ExpectMessage(form);
    EXPECT_FALSE(UpdateIpAddress(*link, prompts, "192.168.1.50/24"));
    prompts.ExpectMessage(form);
    EXPECT_EQ(link->TcpConnect("127.0.0.1.5"), DeviceLink::TcpOutcome::NotConnected);
    prompts.VerifyAllUsed();
    // Still connected as before, and the switcher heard nothing.
    EXPECT_TRUE(link->TcpActive());
    link->SendCommand(cmd::Clear());
    EXPECT_EQ(peer.Lines(1), Lines{"CLEAR"});
}

TEST_F(TcpLinkTest, CommandIsSentAndAnyReplyTakenAsAcknowledgement) {
    ConnectTcp();
    link->SendCommand(cmd::Rtemp(1, 4, 100));
    link->SendCommand(cmd::Gclear(200));
    EXPECT_EQ(peer.Lines(2), (Lines{"RTEMP 2 5 101", "GCLEAR 201"}));
    EXPECT_EQ(host.hourglassChanges, (std::vector<bool>{true, false, true, false}));
    EXPECT_TRUE(host.statusTexts.empty()); // no "Sending command...." on TCP
    EXPECT_TRUE(host.pageControl.empty());
}

TEST_F(TcpLinkTest, UnansweredCommandIsNeitherRepeatedNorReported) {
    ConnectTcp();
    peer->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    link->SendCommand(cmd::Clear());
    peer->ChangeFaults([](qvsim::Faults& f) { f.silent = false; });
    link->SendCommand(cmd::Take(true));
    EXPECT_EQ(peer.Lines(2), (Lines{"CLEAR", "TAKE 1"}));
}

TEST_F(TcpLinkTest, UpdateIpAddressSendsWithoutWaiting) {
    ConnectTcp();
    peer->ChangeFaults([&](qvsim::Faults& f) { f.replyDelayMs = ShortTimings().tcpReadMs; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(UpdateIpAddress(*link, prompts, "010.0.0.5"));
    EXPECT_LT(clock.elapsed(), ShortTimings().tcpReadMs / 2);
    EXPECT_EQ(peer.Lines(1), Lines{"IPCONFIG 10 0 0 5"});
}

TEST_F(TcpLinkTest, UpdateIpAddressRefusesPartsOutOfRange) {
    ConnectTcp();
    prompts.ExpectMessage("IP Address segments cannot be > 255");
    EXPECT_FALSE(UpdateIpAddress(*link, prompts, "300.1.1.1"));
    prompts.ExpectMessage("IP Address segments must each be 0 to 255");
    EXPECT_FALSE(UpdateIpAddress(*link, prompts, "-1.1.1.1"));
    prompts.ExpectMessage(
        "Please enter the IP Address as four numbers from 0 to 255 in the form a.b.c.d");
    EXPECT_FALSE(UpdateIpAddress(*link, prompts, "1.1.1"));
    prompts.VerifyAllUsed();

    EXPECT_TRUE(UpdateIpAddress(*link, prompts, "192.168.1.50"));
    link->SendCommand(cmd::Clear());
    EXPECT_EQ(peer.Lines(2), (Lines{"IPCONFIG 192 168 1 50", "CLEAR"}));
}

// --- status exchange ------------------------------------------------------------

TEST_F(TcpLinkTest, StatusReplyIsCopiedWhole) {
    ConnectTcp();
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    const Bytes expected = Cat({Framed(kDemoStatusBlock), Bytes{0}});
    EXPECT_EQ(Received(26), expected);
}

TEST_F(TcpLinkTest, HashInsideThePayloadIsData) {
    ConnectTcp();
    // The payload is the 20 bytes after SOH and tag (indices 2..21): the '#'
    // at 5 and the one at 21 are data; the '#' at 22, after the whole
    // payload, ends the reply, without CR LF before it, and the rest of that
    // read is copied too.
    const Bytes reply = B("\x01"
                          "0ABC#EFGHIJKLMNOPQRS##TU");
    ASSERT_EQ(reply.size(), 25u);
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["MINFOQV"] = reply; });
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(Received(26), Cat({reply, Bytes{0}}));
}

// The '#' that ends a reply is the first one after SOH, tag and
// ExpectedLength bytes: here it follows 18 payload bytes, so it ends the reply
// for 18 and is data for 19 (the reply then never ends).
TEST_F(TcpLinkTest, HashRightAfterThePayloadEndsTheReply) {
    ConnectTcp();
    const Bytes reply = Cat({B("xy\x01"
                               "0"),
                             Bytes(18, 'D'), B("#")});
    struct Case {
        int expectedLength;
        bool complete;
    };
    const Case cases[] = {{18, true}, {19, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expectedLength);
        peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["MINFOQV"] = reply; });
        link->QueryStatus("MINFOQV", c.expectedLength);
        if (c.complete) {
            EXPECT_EQ(Received(reply.size() + 1), Cat({reply, Bytes{0}}));
        } else {
            EXPECT_TRUE(AllZero());
        }
    }
}

// Level 35 is the byte '#'. Before the whole payload has arrived it is data,
// also when a read ends right after it.
TEST_F(TcpLinkTest, HashLevelInAReplyInPiecesIsData) {
    ConnectTcp();
    link->SendCommand(cmd::Alvl(14, 35));
    link->SendCommand(cmd::Alvl(15, 201));
    // SOH, tag and 15 levels: the first piece ends with the '#'.
    peer->ChangeFaults([](qvsim::Faults& f) {
        f.chunkSize = 17;
        f.chunkPauseMs = 50;
    });
    ASSERT_TRUE(link->QueryStatus("AINFOQV", 16));
    const Bytes levels = {200, 180, 220, 252, 0,   150, 200, 210,
                          190, 230, 170, 200, 205, 160, 35,  201};
    EXPECT_EQ(Received(22), Cat({B("\x01"
                                   "1"),
                                 levels, B("\r\n#"), Bytes{0}}));
}

// Without an SOH in the first 30 bytes the reply cannot be read; it ends at
// its first '#' after them, and its parse error shows without a wait.
TEST_F(TcpLinkTest, ReplyWithoutSohEndsAtTheFirstHashAfterTheSearchWindow) {
    ConnectTcp();
    const Bytes reply = Cat({Bytes(10, 'T'), B("#"), Bytes(19, 'T'), B("#XY")});
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["MINFOQV"] = reply; });
    // Copied whole: the reply ended (an unended one leaves the buffer zero).
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(Received(reply.size() + 1), Cat({reply, Bytes{0}}));
}

TEST_F(TcpLinkTest, ReplyInSmallPiecesIsJoinedInOrder) {
    ConnectTcp();
    ASSERT_TRUE(link->QueryStatus("PINFOQV", 1568));
    const Bytes whole = Received(1568 + 5);
    EXPECT_EQ(whole[0], kSoh);

    // 79 pieces of at most 20 bytes.
    peer->ChangeFaults([](qvsim::Faults& f) {
        f.chunkSize = 20;
        f.chunkPauseMs = 1;
    });
    ASSERT_TRUE(link->QueryStatus("PINFOQV", 1568));
    EXPECT_EQ(Received(1568 + 5), whole);
}

TEST_F(TcpLinkTest, CloseInMidReplyLeavesTheBufferZero) {
    ConnectTcp();
    peer->ChangeFaults([](qvsim::Faults& f) { f.closeAfter = 50; });
    link->QueryStatus("PINFOQV", 1568);
    EXPECT_TRUE(AllZero());
    EXPECT_TRUE(WaitFor([&] { return !state.EthernetConnected; }));
    // The switcher closing the connection is a disconnect, not an error box.
}

TEST_F(TcpLinkTest, CloseAfterTheEndMarkerKeepsTheReply) {
    ConnectTcp();
    peer->ChangeFaults([](qvsim::Faults& f) { f.closeAfter = 20 + 5; });
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(Payload(2, 20), kDemoStatusBlock);
}

TEST_F(TcpLinkTest, OversizedReplyIsDroppedWhole) {
    ConnectTcp();
    Bytes huge(6000, 'A');
    huge.back() = '#';
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["PINFOQV"] = huge; });
    link->QueryStatus("PINFOQV", 1568);
    EXPECT_TRUE(AllZero());
}

// However many reads a reply takes, it must have ended within the reply
// timer's length of its query: a peer that trickles its bytes cannot hold the
// window for longer. Here the 1573 bytes would take half a minute.
TEST_F(TcpLinkTest, ReplyStillComingWhenTheReplyTimerEndsIsDropped) {
    ConnectTcp();
    peer->ChangeFaults([](qvsim::Faults& f) {
        f.chunkSize = 1;
        f.chunkPauseMs = 20;
    });
    QElapsedTimer clock;
    clock.start();
    link->QueryStatus("PINFOQV", 1568);
    const qint64 took = clock.elapsed();
    EXPECT_TRUE(AllZero());
    const LinkTimings t = ShortTimings();
    EXPECT_GE(took, t.replyTimerMs);
    EXPECT_LT(took, t.replyTimerMs + t.tcpReadMs);
}

TEST_F(TcpLinkTest, BytesLeftByACommandAreDiscardedByTheNextQuery) {
    ConnectTcp();
    // A 45-byte answer: the command reads at most 20 of them.
    const Bytes junk = Cat({B("#"), Framed(Bytes(39, 'Z'))});
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["TAKE"] = junk; });
    link->SendCommand(cmd::Take(true));
    ASSERT_TRUE(link->QueryStatus("MINFOQV", 20));
    EXPECT_EQ(Payload(2, 20), kDemoStatusBlock);
}

TEST_F(TcpLinkTest, QueryWithoutConnectionFails) {
    // Neither link: the query goes to the (closed) serial port and fails.
    EXPECT_FALSE(link->QueryStatus("MINFOQV", 20));
    EXPECT_TRUE(link->ExchangeFailed());
}

// A socket error is shown by its kind: a failed connection as the connection
// error whatever the link was doing, any other error by what it was doing.
TEST(SocketErrorText, EachKindOfErrorHasItsMessage) {
    using E = QAbstractSocket::SocketError;
    struct Case {
        E error;
        TcpActivity activity;
        QString text;
    };
    const Case cases[] = {
        {E::SocketResourceError, TcpActivity::Sending, "Socket Send Error"},
        {E::SocketResourceError, TcpActivity::Receiving, "Socket Receive Error"},
        {E::SocketResourceError, TcpActivity::Closing, "Socket Disconnect Error"},
        {E::SocketResourceError, TcpActivity::Idle, "Socket General Error"},
        {E::UnknownSocketError, TcpActivity::Connecting, kConnectErrorText},
        {E::NetworkError, TcpActivity::Sending, kConnectErrorText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.error));
        SCOPED_TRACE(static_cast<int>(c.activity));
        EXPECT_EQ(SocketErrorText(c.error, c.activity), c.text);
    }
}

// Commands prefer the serial link, queries the TCP link.
TEST(LinkRouting, CommandsGoSerialAndQueriesGoTcpWhenBothAreUp) {
    SimPeer serial({.pty = true});
    SimPeer tcp({.tcp = true});
    LinkState state;
    RecordingHost host;
    ScriptedPrompts prompts;
    DeviceLink link(state, host, prompts,
                    SerialPortMap({QString(), QString(), serial.PtyPath(), QString()}),
                    ShortTimings(), tcp->TcpPort());
    ASSERT_EQ(link.SearchPorts(3), 1);
    link.SetSerialConnected(true);
    ASSERT_EQ(link.TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::Probed);

    link.SendCommand(cmd::Clear());
    ASSERT_TRUE(link.QueryStatus("MINFOQV", 20));
    link.SendCommand(cmd::IpConfigCommand(1, 2, 3, 4));
    EXPECT_EQ(serial.Lines(3), (Lines{"", "CLEAR", "IPCONFIG 1 2 3 4"}));
    EXPECT_EQ(tcp.Lines(2), (Lines{"", "MINFOQV"}));
}

} // namespace
} // namespace qvc::test
