// The bridge's switcher port (--switcher-port): the switcher's own line
// protocol for other controllers through the bridge's one link. Plain
// sockets in the test's thread beside the bridge, which never block it;
// quorvel-ctl, which blocks its thread while it waits, talks to a bridge on a
// thread of its own (BridgeThread).
#include "bridge/SwitcherPort.h"

#include "BridgeRig.h"
#include "BridgeThread.h"
#include "ctl/Ctl.h"
#include "protocol/ReplyCollector.h"
#include "protocol/StatusQueries.h"
#include "tests/ctl/CtlCases.h"

#include <QJsonArray>
#include <map>
#include <sstream>

namespace qvc::test {
namespace {

// One controller on a socket of its own: writes lines, keeps every byte.
class LineClient {
  public:
    explicit LineClient(quint16 port) {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(WaitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState; }));
        QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { bytes_ += socket_.readAll(); });
    }
    void Send(const QByteArray& bytes) {
        socket_.write(bytes);
        socket_.flush();
    }
    void Line(const std::string& line) { Send(QByteArray::fromStdString(line) + '\r'); }
    const QByteArray& Bytes() {
        bytes_ += socket_.readAll();
        return bytes_;
    }
    bool Closed() {
        return WaitFor([&] { return socket_.state() == QAbstractSocket::UnconnectedState; });
    }
    bool Connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    QTcpSocket& Socket() { return socket_; }

  private:
    QTcpSocket socket_;
    QByteArray bytes_;
};

// A direct connection to a simulator: one line, and its whole answer, found
// with the same rule the link uses.
QByteArray Direct(QTcpSocket& socket, const std::string& line, const DeviceState& state) {
    const std::optional<ParsedQuery> query = ParseQueryLine(line);
    AnswerCollector answer(query
                               ? ExpectedLength(query->query, state.model, state.status.ModelCode())
                               : AnswerCollector::kCommand);
    socket.write(QByteArray::fromStdString(line) + '\r');
    socket.flush();
    EXPECT_TRUE(WaitFor([&] {
        const QByteArray piece = socket.readAll();
        answer.Add(std::span(reinterpret_cast<const std::uint8_t*>(piece.constData()),
                             static_cast<std::size_t>(piece.size())));
        return answer.Complete();
    })) << line;
    const auto bytes = answer.Answer();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

class SwitcherPortTest : public BridgeRig {
  protected:
    void StartWithPort(SimSpec spec = {.model = 3, .demo = true, .tcp = true}) {
        Start(spec, [](bridge::Options& o) { o.switcherPort = 0; });
        ASSERT_NE(bridge->SwitcherPortNumber(), 0);
    }
    quint16 Port() const { return bridge->SwitcherPortNumber(); }
    bool LogHas(const QString& text) const {
        return std::any_of(log.begin(), log.end(),
                           [&](const QString& l) { return l.contains(text); });
    }
};

TEST_F(SwitcherPortTest, ACommandAndAQueryGetTheSwitchersAnswerAndTheMirrorFollows) {
    StartWithPort();
    const int before = bridge->Session().Revision();
    LineClient client(Port());
    client.Line("RTEMP 9 5 5");
    ASSERT_TRUE(WaitFor([&] { return client.Bytes() == "#"; }));
    // The mirror had the route before the answer went out: one revision.
    EXPECT_EQ(bridge->Session().Revision(), before + 1);
    EXPECT_EQ(bridge->Session().State().outputs.videoInput(8), 4);
    EXPECT_EQ(State()[QStringLiteral("revision")].toInt(), before + 1);
    client.Line("TAKE 1");
    ASSERT_TRUE(WaitFor([&] { return client.Bytes() == "##"; }));
    EXPECT_EQ(bridge->Session().Revision(), before + 2);
    EXPECT_EQ(bridge->Session().State().outputs.videoTaken(8), 1);

    client.Line("MINFOQV");
    ASSERT_TRUE(
        WaitFor([&] { return client.Bytes().size() > 2 && client.Bytes().endsWith("\r\n#"); }));
    EXPECT_EQ(Received(), (Lines{"RTEMP 9 5 5", "TAKE 1", "MINFOQV"}));
    // The reply is the switcher's, byte for byte.
    QTcpSocket direct;
    SimPeer other({.model = 3, .demo = true, .tcp = true});
    direct.connectToHost(QHostAddress::LocalHost, other->TcpPort());
    ASSERT_TRUE(WaitFor([&] { return direct.state() == QAbstractSocket::ConnectedState; }));
    EXPECT_EQ(client.Bytes().mid(2), Direct(direct, "MINFOQV", bridge->Session().State()));
    EXPECT_EQ(bridge->Session().Revision(), before + 2); // a query changes nothing
    // The mirror equals the switcher read back.
    const DeviceState mirror = bridge->Session().State();
    ASSERT_EQ(Post("/api/v1/read").status, 200);
    EXPECT_EQ(bridge->Session().State().outputs.bytes, mirror.outputs.bytes);
    EXPECT_EQ(bridge->Session().State().prevOutputs.bytes, mirror.prevOutputs.bytes);
}

TEST_F(SwitcherPortTest, ThreeClientsAtOnceGetExactlyTheirOwnAnswers) {
    StartWithPort();
    const std::vector<std::vector<std::string>> lines = {
        {"RTEMP 3 7 7", "MINFOQV", "TAKE 1", "PGINFOQV 2", "OMUTE 3 1"},
        {"OINFOQV", "ALVL 4 120", "GINFOQV", "", "OPINFOQV"},
        {"AINFOQV", "PINFOQV", "FDLY 1200", "RTEMP 5 2 101", "PGINFOQV 15"},
    };
    std::vector<std::unique_ptr<LineClient>> clients;
    for (std::size_t c = 0; c < lines.size(); ++c) {
        clients.push_back(std::make_unique<LineClient>(Port()));
    }
    // Interleaved, each line in a write of its own, the queries' answers
    // several kilobytes long.
    for (std::size_t n = 0; n < lines[0].size(); ++n) {
        for (std::size_t c = 0; c < lines.size(); ++c) {
            clients[c]->Line(lines[c][n]);
        }
    }
    ASSERT_TRUE(WaitFor([&] { return Received().size() == 15 && bridge->Idle(); }));
    const Lines received = Received();
    // Whole lines, each client's in its own order.
    std::map<std::string, std::size_t> owner;
    for (std::size_t c = 0; c < lines.size(); ++c) {
        for (const std::string& l : lines[c]) {
            owner[l] = c;
        }
    }
    std::vector<std::vector<std::string>> seen(lines.size());
    for (const std::string& l : received) {
        ASSERT_TRUE(owner.contains(l)) << "not a whole line of a client: \"" << l << '"';
        seen[owner[l]].push_back(l);
    }
    EXPECT_EQ(seen, lines);

    // The same lines in the same order straight to a simulator in the same
    // start state: each client got exactly the answers of its own lines.
    SimPeer other({.model = 3, .demo = true, .tcp = true});
    QTcpSocket direct;
    direct.connectToHost(QHostAddress::LocalHost, other->TcpPort());
    ASSERT_TRUE(WaitFor([&] { return direct.state() == QAbstractSocket::ConnectedState; }));
    std::vector<QByteArray> expected(lines.size());
    for (const std::string& l : received) {
        expected[owner[l]] += Direct(direct, l, bridge->Session().State());
    }
    for (std::size_t c = 0; c < lines.size(); ++c) {
        ASSERT_TRUE(WaitFor([&] { return clients[c]->Bytes().size() >= expected[c].size(); }));
        EXPECT_EQ(clients[c]->Bytes(), expected[c]) << "client " << c;
    }
    EXPECT_EQ(other->State().outputs, (*sim)->State().outputs);
}

TEST_F(SwitcherPortTest, TheBridgesOwnWorkTakesTurnsWithTheClients) {
    StartWithPort();
    (*sim)->SetReplyDelay(20);
    LineClient client(Port());
    constexpr int kLines = 12;
    for (int n = 0; n < kLines; ++n) {
        client.Line("OMUTE 2 " + std::to_string(n % 2));
    }
    // An API call made while the client's lines wait does not wait for all
    // of them: it goes in between, as soon as the bridge has read it.
    ASSERT_TRUE(WaitFor([&] { return Received().size() >= 1; }));
    EXPECT_EQ(Post("/api/v1/take", "{}").status, 200);
    ASSERT_TRUE(WaitFor([&] { return client.Bytes() == QByteArray(kLines, '#'); }));
    const Lines received = Received();
    ASSERT_EQ(received.size(), kLines + 1U);
    const auto take = std::find(received.begin(), received.end(), "TAKE 1");
    ASSERT_NE(take, received.end());
    EXPECT_LT(take - received.begin(), kLines - 2);
}

TEST_F(SwitcherPortTest, AClientThatLeavesInMidExchangeLosesOnlyItsAnswer) {
    StartWithPort();
    (*sim)->SetReplyDelay(150);
    auto leaving = std::make_unique<LineClient>(Port());
    leaving->Line("OMUTE 4 1");
    ASSERT_TRUE(WaitFor([&] { return Received().size() == 1; }));
    leaving->Socket().abort(); // while the switcher has not answered yet
    leaving.reset();
    ASSERT_TRUE(WaitFor([&] { return bridge->Idle() && bridge->Switchers()->Clients() == 0; }));
    // The exchange completed: the mirror followed it.
    EXPECT_TRUE(WaitFor([&] { return bridge->Session().State().outputs.muted(3) == 1; }));
    (*sim)->SetReplyDelay(0);
    // The next client hears its own answer only, not the dropped one.
    LineClient next(Port());
    next.Line("TAKE 0");
    ASSERT_TRUE(WaitFor([&] { return next.Bytes() == "#"; }));
    QTest::qWait(50);
    EXPECT_EQ(next.Bytes(), "#");
    EXPECT_EQ(Received(), (Lines{"OMUTE 4 1", "TAKE 0"}));
}

TEST_F(SwitcherPortTest, ALineOver256BytesIsNotForwardedAndItsClientIsDisconnected) {
    StartWithPort();
    LineClient longest(Port());
    longest.Line(std::string(256, 'A')); // the longest allowed: the switcher refuses it with '#'
    ASSERT_TRUE(WaitFor([&] { return longest.Bytes() == "#"; }));
    LineClient other(Port());
    LineClient tooLong(Port());
    tooLong.Line(std::string(257, 'B'));
    ASSERT_TRUE(tooLong.Closed());
    EXPECT_TRUE(LogHas(QStringLiteral("a line longer than 256 bytes")))
        << log.join('\n').toStdString();
    EXPECT_EQ(Received(), (Lines{std::string(256, 'A')}));
    // The others stay.
    other.Line("TAKE 0");
    ASSERT_TRUE(WaitFor([&] { return other.Bytes() == "#"; }));
    EXPECT_TRUE(longest.Connected());
}

TEST_F(SwitcherPortTest, SixtyFourWaitingLinesAreServedAndMoreDisconnect) {
    StartWithPort();
    (*sim)->SetReplyDelay(5);
    QByteArray lines64;
    for (int n = 0; n < 64; ++n) {
        lines64 += "TAKE 0\r";
    }
    LineClient patient(Port());
    patient.Send(lines64);
    ASSERT_TRUE(WaitFor([&] { return patient.Bytes() == QByteArray(64, '#'); }));
    EXPECT_TRUE(patient.Connected());
    (*sim)->ClearReceivedLines();

    // A line in exchange and 64 waiting: the next one is one too many.
    (*sim)->SetReplyDelay(300);
    LineClient greedy(Port());
    greedy.Line("OMUTE 1 1");
    ASSERT_TRUE(WaitFor([&] { return Received().size() == 1; }));
    greedy.Send(lines64 + "TAKE 0\r");
    ASSERT_TRUE(greedy.Closed());
    EXPECT_TRUE(LogHas(QStringLiteral("more than 64 lines waiting for the switcher")));
    ASSERT_TRUE(WaitFor([&] { return bridge->Idle(); }));
    EXPECT_EQ(Received(), (Lines{"OMUTE 1 1"})); // its waiting lines went with it
    EXPECT_TRUE(patient.Connected());
}

TEST_F(SwitcherPortTest, ASilentSwitcherAndALostLinkLeaveTheClientsUnanswered) {
    StartWithPort();
    LineClient client(Port());
    (*sim)->SetSilent(true);
    client.Line("TAKE 1");
    ASSERT_TRUE(WaitFor([&] { return Received().size() == 1 && bridge->Idle(); }));
    EXPECT_EQ(client.Bytes(), "");
    EXPECT_TRUE(LogHas(QStringLiteral("the switcher did not answer \"TAKE 1\" from")));
    (*sim)->SetSilent(false);

    sim.reset(); // the switcher goes away
    ASSERT_TRUE(WaitFor([&] { return !bridge->Session().LinkUp(); }));
    client.Line("TAKE 0");
    client.Line("MINFOQV");
    QTest::qWait(300);
    EXPECT_EQ(client.Bytes(), "");
    EXPECT_TRUE(client.Connected()); // its reads time out, as against a silent switcher
}

TEST_F(SwitcherPortTest, AResetIsFollowedByAReadBack) {
    StartWithPort();
    LineClient client(Port());
    client.Line("OMUTE 2 1");
    ASSERT_TRUE(WaitFor([&] { return client.Bytes() == "#"; }));
    client.Line("RESETQV R");
    ASSERT_TRUE(WaitFor([&] { return client.Bytes() == "##" && bridge->Idle(); }));
    EXPECT_EQ(Received(), Join({"OMUTE 2 1", "RESETQV R"}, ReadBackLines()));
    EXPECT_EQ(bridge->Session().State().outputs.muted(1), (*sim)->State().outputs[1].muted);
}

// --- quorvel-ctl through the bridge -----------------------------------------------

struct CtlResult {
    int code = -1;
    std::string err;
    Lines lines;
};

// quorvel-ctl runs in this thread and blocks it while it waits; the bridge
// answers from its own.
CtlResult RunCtl(quint16 port, const QStringList& args) {
    std::ostringstream out;
    std::ostringstream err;
    ctl::Environment env;
    env.timings = ShortTimings();
    CtlResult r;
    r.code = ctl::Run(
        QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port)} + args, out,
        err, env);
    r.err = err.str();
    return r;
}

CtlResult Direct(const SimSpec& spec, const QStringList& args) {
    SimPeer sim(spec);
    CtlResult r = RunCtl(sim->TcpPort(), args);
    r.lines = sim->ReceivedLines();
    return r;
}

CtlResult ThroughBridge(const SimSpec& spec, const QStringList& args) {
    SimPeer sim(spec);
    BridgeThread bridge(*sim);
    EXPECT_TRUE(sim->WaitForLines(23, 5000));
    sim->ClearReceivedLines();
    CtlResult r = RunCtl(bridge.SwitcherPort(), args);
    EXPECT_TRUE(WaitFor([&] { return bridge.Idle(); }));
    r.lines = sim->ReceivedLines();
    return r;
}

class CtlThroughBridge : public ::testing::TestWithParam<LinesCase> {};

TEST_P(CtlThroughBridge, SendsTheSameLinesWithTheSameExitCode) {
    const SimSpec spec{.model = 3, .tcp = true};
    const CtlResult direct = Direct(spec, GetParam().args);
    const CtlResult bridged = ThroughBridge(spec, GetParam().args);
    EXPECT_EQ(direct.code, ctl::kDone) << direct.err;
    EXPECT_EQ(bridged.code, direct.code) << bridged.err;
    EXPECT_EQ(bridged.err, direct.err);
    EXPECT_EQ(direct.lines, Join({""}, GetParam().lines));
    // After a reset the bridge reads the switcher back for its own mirror.
    const bool reset = !direct.lines.empty() && direct.lines.back().starts_with("RESETQV");
    EXPECT_EQ(bridged.lines, reset ? Join(direct.lines, ReadBackLines()) : direct.lines);
}

INSTANTIATE_TEST_SUITE_P(Commands, CtlThroughBridge, ::testing::ValuesIn(kCtlLineCases));

class CtlUsageThroughBridge : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CtlUsageThroughBridge, IsRefusedTheSameWay) {
    const SimSpec spec{.model = GetParam().model, .tcp = true};
    const CtlResult direct = Direct(spec, GetParam().args);
    const CtlResult bridged = ThroughBridge(spec, GetParam().args);
    EXPECT_EQ(direct.code, ctl::kUsage);
    EXPECT_EQ(bridged.code, direct.code);
    EXPECT_EQ(bridged.err, direct.err);
    EXPECT_EQ(bridged.lines, direct.lines);
}

INSTANTIATE_TEST_SUITE_P(Errors, CtlUsageThroughBridge, ::testing::ValuesIn(kCtlUsageCases));

// Three kinds of controller at once: quorvel-ctl and a plain client on the
// switcher port, and the web panel's API, each sees its own answers and the
// WebSocket every change.
TEST(SwitcherPortTogether, CtlAClientAndTheApiShareOneSwitcher) {
    SimPeer sim({.model = 3, .tcp = true});
    BridgeThread bridge(*sim);
    const int before = bridge.Revision();
    const CtlResult r = RunCtl(bridge.SwitcherPort(), {"route", "9", "5", "--take"});
    EXPECT_EQ(r.code, ctl::kDone) << r.err;
    ASSERT_TRUE(WaitFor([&] { return bridge.Idle(); }));
    const DeviceState state = bridge.State();
    EXPECT_EQ(state.outputs.videoInput(8), 4);
    EXPECT_EQ(state.outputs.videoTaken(8), 1);
    // RTEMP and TAKE: a revision each.
    EXPECT_EQ(bridge.Revision(), before + 2);
}

} // namespace
} // namespace qvc::test
