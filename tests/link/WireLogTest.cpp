// The link's wire log records and its link text, against the simulator: a
// read-back as the log lists it on both links, timeouts of a silent
// switcher, no record while the log is off, and "Link lost".
#include "LinkFixture.h"
#include "link/ReadBack.h"
#include "model/DeviceState.h"
#include "protocol/Commands.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

// Every status reply of a 16 x 16 switcher: SOH, tag, the payload, CR LF '#'.
constexpr qint64 kFraming = 5;
struct Reply {
    QByteArray line;
    qint64 bytes;
};
std::vector<Reply> ReadBackReplies() {
    // Payloads: the status block 20, one level per input 16, 5 and 2 bytes
    // per output 80 and 32, 16 presets of 98 bytes, group tables of 322.
    std::vector<Reply> replies = {{"MINFOQV\r", 20 + kFraming},   {"AINFOQV\r", 16 + kFraming},
                                  {"OINFOQV\r", 80 + kFraming},   {"OPINFOQV\r", 32 + kFraming},
                                  {"PINFOQV\r", 1568 + kFraming}, {"GINFOQV\r", 322 + kFraming}};
    for (int n = 0; n < 16; ++n) {
        replies.push_back({"PGINFOQV " + QByteArray::number(n) + '\r', 322 + kFraming});
    }
    return replies;
}

struct LinkCase {
    const char* name;
    bool tcp;
    const char* linkText;
};
const LinkCase kLinks[] = {{"tcp", true, "Ethernet 127.0.0.1"}, {"pty", false, "RS-232 COM3"}};

class WireLogLinkTest : public LinkFixture, public ::testing::WithParamInterface<LinkCase> {
  protected:
    WireLogLinkTest() : LinkFixture({.tcp = GetParam().tcp, .pty = !GetParam().tcp}) {}
    void Connect() {
        if (GetParam().tcp) {
            ConnectTcp();
        } else {
            ConnectSerial();
        }
    }
};

TEST_P(WireLogLinkTest, ReadBackIsLoggedQueryByQueryOnlyWhileLoggingIsOn) {
    Connect();
    DeviceState got;
    ASSERT_EQ(ReadBack(*link, got, host, prompts), 1);
    EXPECT_TRUE(host.exchanges.empty()) << "records made with the log off";

    link->SetWireLogging(true);
    ASSERT_EQ(ReadBack(*link, got, host, prompts), 1);
    const std::vector<Reply> expected = ReadBackReplies();
    ASSERT_EQ(host.exchanges.size(), expected.size());
    qint64 previousAt = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const WireExchange& e = host.exchanges[i];
        SCOPED_TRACE(expected[i].line.toStdString());
        EXPECT_EQ(e.line, expected[i].line);
        EXPECT_EQ(e.link, QString::fromLatin1(GetParam().linkText));
        EXPECT_EQ(e.kind, WireKind::Query);
        EXPECT_EQ(e.outcome, WireOutcome::Reply);
        EXPECT_EQ(e.replyBytes, expected[i].bytes);
        EXPECT_GE(e.atMs, previousAt);
        EXPECT_GE(e.durationMs, 0);
        previousAt = e.atMs + e.durationMs;
    }
    EXPECT_EQ(WireExchangeText(host.exchanges[6]),
              QString::number(host.exchanges[6].atMs) + "\t" + GetParam().linkText +
                  "\tPGINFOQV 0\\r\tquery\treply of 327 bytes\t" +
                  QString::number(host.exchanges[6].durationMs) + " ms");

    link->SetWireLogging(false);
    host.Clear();
    peer->ClearReceivedLines();
    link->SendCommand(cmd::Fplock(false));
    EXPECT_EQ(peer.Lines(1), Lines{"FPLOCK 0"});
    EXPECT_TRUE(host.exchanges.empty());
}

TEST_P(WireLogLinkTest, CommandIsLoggedWithItsPrompt) {
    Connect();
    link->SetWireLogging(true);
    link->SendCommand(cmd::Fplock(true));
    ASSERT_EQ(host.exchanges.size(), 1U);
    EXPECT_EQ(host.exchanges[0].line, QByteArray("FPLOCK 1\r"));
    EXPECT_EQ(host.exchanges[0].kind, WireKind::Command);
    EXPECT_EQ(WireOutcomeText(host.exchanges[0]), "prompt");
}

INSTANTIATE_TEST_SUITE_P(Links, WireLogLinkTest, ::testing::ValuesIn(kLinks),
                         [](const auto& test) { return std::string(test.param.name); });

// A switcher that has gone silent: each exchange ends as a timeout after its
// wait, on either link.
struct TimeoutCase {
    const char* name;
    bool tcp;
    bool query;
    const char* line;
    WireKind kind;
};
const TimeoutCase kTimeouts[] = {
    {"tcp command", true, false, "FPLOCK 0\r", WireKind::Command},
    {"tcp query", true, true, "MINFOQV\r", WireKind::Query},
    {"serial query", false, true, "MINFOQV\r", WireKind::Query},
};

class WireLogTimeoutTest : public LinkFixture, public ::testing::WithParamInterface<TimeoutCase> {
  protected:
    WireLogTimeoutTest() : LinkFixture({.tcp = GetParam().tcp, .pty = !GetParam().tcp}) {}
};

TEST_P(WireLogTimeoutTest, SilentSwitcherGivesATimeoutEntry) {
    const TimeoutCase& c = GetParam();
    if (c.tcp) {
        ConnectTcp();
    } else {
        ConnectSerial();
    }
    peer->SetSilent(true);
    link->SetWireLogging(true);
    const LinkTimings t = ShortTimings();
    // A TCP exchange ends at the first read that waits in vain; a serial
    // query when the reply timer runs out, with its message.
    const int wait = c.tcp ? t.tcpReadMs : t.replyTimerMs;
    if (c.query) {
        if (!c.tcp) {
            prompts.ExpectMessage(kSerialTimeoutText);
        }
        EXPECT_EQ(link->QueryStatus("MINFOQV", 20), c.tcp);
    } else {
        link->SendCommand(cmd::Fplock(false));
    }
    ASSERT_EQ(host.exchanges.size(), 1U);
    const WireExchange& e = host.exchanges[0];
    EXPECT_EQ(e.line, QByteArray(c.line));
    EXPECT_EQ(e.kind, c.kind);
    EXPECT_EQ(WireOutcomeText(e), "timeout");
    EXPECT_GE(e.durationMs, wait * 9 / 10);
}

INSTANTIATE_TEST_SUITE_P(Silent, WireLogTimeoutTest, ::testing::ValuesIn(kTimeouts),
                         [](const auto& test) {
                             std::string name = test.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

// The link's own text: the switcher closing the TCP connection in the middle
// of a reply makes it "Link lost" until the next connect.
class LinkTextTest : public LinkFixture {
  protected:
    LinkTextTest() : LinkFixture({.tcp = true}) {}
};

TEST_F(LinkTextTest, PeerClosingTheConnectionIsALostLinkUntilTheNextConnect) {
    EXPECT_EQ(link->LinkText(), "No link");
    ASSERT_EQ(link->TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::Probed);
    EXPECT_EQ(host.linkTexts.back(), "Ethernet 127.0.0.1");
    host.Clear();
    link->SetWireLogging(true);
    peer->SetCloseAfter(10);
    EXPECT_TRUE(link->QueryStatus("MINFOQV", 20)); // incomplete: the buffer stays empty
    ASSERT_TRUE(WaitFor([&] { return !link->TcpActive(); }));
    EXPECT_EQ(host.linkTexts, std::vector<QString>{"lost:Link lost"});
    ASSERT_EQ(host.exchanges.size(), 1U);
    EXPECT_EQ(WireOutcomeText(host.exchanges[0]), "failure");
    EXPECT_TRUE(link->LinkLost());

    peer->SetCloseAfter(-1);
    ASSERT_EQ(link->TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::Probed);
    EXPECT_EQ(host.linkTexts.back(), "Ethernet 127.0.0.1");
    EXPECT_FALSE(link->LinkLost());
    // Closed by the program itself: no link, and nothing lost.
    link->TcpClose();
    EXPECT_EQ(host.linkTexts.back(), "No link");
}

} // namespace
} // namespace qvc::test
