// The bridge as a resident service: WebSocket events, the poll, a lost and
// regained link, and clients that misbehave. Every client is on loopback,
// bounded in number and time.
#include "BridgeRig.h"

#include <QFile>
#include <QJsonArray>
#include <QWebSocket>
#include <sys/resource.h>
#include <sys/socket.h>

namespace qvc::test {
namespace {

// The resident memory of this process, in MB. Under AddressSanitizer freed
// memory stays in its quarantine, so growth says nothing there: 0.
double ResidentMb() {
#if defined(__SANITIZE_ADDRESS__)
    return 0;
#endif
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * 4096.0 / (1024.0 * 1024.0);
}

class BridgeLink : public BridgeRig {
  protected:
    // A WebSocket client that keeps every message it gets.
    struct Listener {
        QWebSocket socket;
        std::vector<QJsonObject> messages;
        bool closed = false;
        QWebSocketProtocol::CloseCode code = QWebSocketProtocol::CloseCodeNormal;
        Listener(quint16 port, const QString& path, const QString& origin = {})
            : socket(origin) {
            QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& m) {
                messages.push_back(QJsonDocument::fromJson(m.toUtf8()).object());
            });
            QObject::connect(&socket, &QWebSocket::disconnected, [this] {
                closed = true;
                code = socket.closeCode();
            });
            socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(port).arg(path)));
        }
        QList<int> Revisions() const {
            QList<int> r;
            for (const QJsonObject& m : messages) {
                r << m[QStringLiteral("revision")].toInt();
            }
            return r;
        }
    };
};

TEST_F(BridgeLink, EventsSendTheStateThenEveryRevisionInOrder) {
    Start();
    Listener ws(bridge->Port(), QStringLiteral("/api/v1/events"));
    ASSERT_TRUE(WaitFor([&] { return ws.messages.size() == 1; }));
    const int first = ws.messages[0][QStringLiteral("revision")].toInt();
    EXPECT_EQ(ws.messages[0][QStringLiteral("type")].toString(), "state");
    EXPECT_EQ(ws.messages[0][QStringLiteral("revision")], State()[QStringLiteral("revision")]);
    ASSERT_EQ(Post("/api/v1/route", R"({"output":9,"input":5})").status, 200);
    ASSERT_EQ(Post("/api/v1/mute", R"({"output":9,"muted":true})").status, 200);
    ASSERT_EQ(Call("PUT", "/api/v1/labels", R"({"outputs":{"9":"PROJ"}})").status, 200);
    ASSERT_TRUE(WaitFor([&] { return ws.messages.size() == 4; }));
    EXPECT_EQ(ws.Revisions(), (QList<int>{first, first + 1, first + 2, first + 3}));
    const QJsonObject last = ws.messages.back();
    EXPECT_EQ(last[QStringLiteral("outputs")].toArray()[8].toObject()[QStringLiteral("muted")], true);
    EXPECT_EQ(last[QStringLiteral("labels")].toObject()[QStringLiteral("outputs")].toArray()[8], "PROJ");
    EXPECT_EQ(last, [&] {
        QJsonObject s = State();
        s.insert(QStringLiteral("type"), QStringLiteral("state"));
        return s;
    }());
}

TEST_F(BridgeLink, AForeignOriginOrAnotherPathIsRefused) {
    Start();
    const struct {
        const char* path;
        const char* origin;
        bool served;
    } cases[] = {
        {"/api/v1/events", "http://evil.example", false},
        {"/api/v1/events", "http://127.0.0.1:1", false},
        {"/api/v1/state", "", false},
        {"/api/v1/events", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.origin);
        QString origin = QString::fromLatin1(c.origin);
        Listener ws(bridge->Port(), QString::fromLatin1(c.path), origin);
        if (c.served) {
            EXPECT_TRUE(WaitFor([&] { return ws.messages.size() == 1; }));
            continue;
        }
        EXPECT_TRUE(WaitFor([&] { return ws.closed; }));
        EXPECT_EQ(ws.code, QWebSocketProtocol::CloseCodePolicyViolated);
        EXPECT_TRUE(ws.messages.empty());
    }
    // The token, where one is needed, comes on the URL (a browser cannot
    // send the header); without it the socket is closed.
    bridge.reset();
    Start({.model = 3, .demo = true, .tcp = true}, [](bridge::Options& o) { o.token = "t0ken"; });
    Listener without(bridge->Port(), QStringLiteral("/api/v1/events"));
    EXPECT_TRUE(WaitFor([&] { return without.closed; }));
    EXPECT_TRUE(without.messages.empty());
    Listener with(bridge->Port(), QStringLiteral("/api/v1/events?token=t0ken"));
    EXPECT_TRUE(WaitFor([&] { return with.messages.size() == 1; }));
    // The page's own origin is the same host and port.
    Listener same(bridge->Port(), QStringLiteral("/api/v1/events?token=t0ken"),
                  QStringLiteral("http://127.0.0.1:%1").arg(bridge->Port()));
    EXPECT_TRUE(WaitFor([&] { return same.messages.size() == 1; }));
}

TEST_F(BridgeLink, AChangeAtTheSwitcherShowsUpWithinOnePoll) {
    Start({.model = 3, .demo = true, .tcp = true}, [](bridge::Options& o) { o.pollSeconds = 1; });
    Listener ws(bridge->Port(), QStringLiteral("/api/v1/events"));
    ASSERT_TRUE(WaitFor([&] { return ws.messages.size() == 1; }));
    (*sim)->FrontPanel("RTEMP 9 7 7");
    (*sim)->FrontPanel("TAKE 1");
    ASSERT_TRUE(WaitFor([&] { return ws.messages.size() == 2; }, 3000));
    const QJsonObject out9 = ws.messages[1][QStringLiteral("outputs")].toArray()[8].toObject();
    EXPECT_EQ(out9[QStringLiteral("video")].toInt(), 7);
    EXPECT_EQ(out9[QStringLiteral("audio")].toInt(), 7);
    // The poll reads the status block, the routing and the levels only.
    EXPECT_EQ(Received(), (Lines{"MINFOQV", "OINFOQV", "OPINFOQV", "AINFOQV"}));
}

TEST_F(BridgeLink, ALostLinkAnswers503AtOnceAndComesBack) {
    Start();
    const quint16 switcherPort = (*sim)->TcpPort();
    sim.reset(); // the switcher goes away
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitFor([&] { return !State()[QStringLiteral("link")].toObject()[QStringLiteral("up")].toBool(); }, 1000));
    const Reply r = Post("/api/v1/take");
    EXPECT_EQ(r.status, 503);
    EXPECT_EQ(r.Error(), "no link to the switcher");
    EXPECT_LT(clock.elapsed(), 1000);
    // Back on the same port: up again and read back within the first back-off.
    qvsim::SimOptions options;
    options.tcp = true;
    options.tcpPort = switcherPort;
    options.demo = true;
    qvsim::SimThread back(options);
    ASSERT_TRUE(back.Start());
    ASSERT_TRUE(WaitFor([&] { return bridge->Session().LinkUp() && bridge->Idle(); }, 3000));
    EXPECT_TRUE(back.WaitForLines(23, 1000));
    EXPECT_EQ(Post("/api/v1/take").status, 200);
    EXPECT_TRUE(log.contains(QStringLiteral("link down: the switcher closed the connection")));
}

// 128 idle connections, then one more: refused, and the others still served.
TEST_F(BridgeLink, ConnectionsBeyondTheLimitAreRefused) {
    Start();
    std::vector<std::unique_ptr<HttpClient>> idle;
    for (int i = 0; i < 127; ++i) { // the 128th is the one that asks
        idle.push_back(std::make_unique<HttpClient>(bridge->Port()));
    }

    HttpClient asking(bridge->Port());
    // One more: accepted by the system, closed by the bridge at once.
    QTcpSocket extra;
    extra.connectToHost(QHostAddress::LocalHost, bridge->Port());
    EXPECT_TRUE(WaitFor([&] {
        extra.readAll();
        return extra.state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_EQ(log.filter(QStringLiteral("more than 128 connections")).size(), 1);
    EXPECT_EQ(asking.Request("GET", "/api/v1/state").status, 200);
    idle.pop_back();
    ASSERT_TRUE(WaitFor([&] { return bridge->HttpConnections() == 127; }));
    HttpClient after(bridge->Port());
    EXPECT_EQ(after.Request("GET", "/api/v1/state").status, 200);
    EXPECT_EQ(Received(), Lines{});
}

TEST_F(BridgeLink, SlowLargeAndBrokenRequestsCostOnlyTheirConnection) {
    Start({.model = 3, .demo = true, .tcp = true},
          [](bridge::Options& o) { o.limits.requestMs = 400; });
    const double before = ResidentMb();
    // Headers a byte at a time, slower than the request may take.
    HttpClient slow(bridge->Port());
    const QByteArray head = "GET /api/v1/state HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (int i = 0; i < 6; ++i) {
        slow.Socket().write(head.mid(i, 1));
        QTest::qWait(100);
    }
    EXPECT_TRUE(slow.Closed());
    // A 10 MB body: refused from its Content-Length, before it is read.
    HttpClient large(bridge->Port());
    large.Socket().write("POST /api/v1/route HTTP/1.1\r\nContent-Length: 10000000\r\n\r\n");
    large.Socket().write(QByteArray(1 << 20, '{'));
    const Reply refused = large.Read();
    EXPECT_EQ(refused.status, 413);
    EXPECT_TRUE(large.Closed());
    // A request head over 16 KiB.
    HttpClient header(bridge->Port());
    const Reply tooLong = header.Raw("GET / HTTP/1.1\r\nX: " + QByteArray(17000, 'x') + "\r\n\r\n");
    EXPECT_EQ(tooLong.status, 431);
    // Others are served all the while, and the memory stays.
    EXPECT_EQ(Call("GET", "/api/v1/state").status, 200);
    EXPECT_EQ(Received(), Lines{});
    EXPECT_LT(ResidentMb() - before, 50.0);
}

TEST_F(BridgeLink, Http10AndConnectionCloseAreAnsweredThenClosed) {
    Start();
    const QByteArray requests[] = {
        "GET /api/v1/state HTTP/1.0\r\n\r\n",
        "GET /api/v1/state HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
    };
    for (const QByteArray& request : requests) {
        HttpClient client(bridge->Port());
        EXPECT_EQ(client.Raw(request).status, 200);
        EXPECT_TRUE(client.Closed());
    }
    HttpClient kept(bridge->Port());
    EXPECT_EQ(kept.Raw("GET /api/v1/state HTTP/1.0\r\nConnection: keep-alive\r\n\r\n").status, 200);
    EXPECT_EQ(kept.Request("GET", "/metrics").status, 200);
}

// Requests sent one after another without waiting are answered in their
// order, also when the first waits for the switcher and the others do not.
TEST_F(BridgeLink, PipelinedRequestsAreAnsweredInOrder) {
    Start();
    HttpClient client(bridge->Port());
    const QByteArray take = "POST /api/v1/take HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n";
    const QByteArray state = "GET /api/v1/state HTTP/1.1\r\nHost: x\r\n\r\n";
    const QByteArray missing = "GET /nothing HTTP/1.1\r\nHost: x\r\n\r\n";
    client.Socket().write(take + state + missing + take);
    const Reply first = client.Read();
    const Reply second = client.Read();
    const Reply third = client.Read();
    const Reply fourth = client.Read();
    EXPECT_EQ(first.Json()[QStringLiteral("sent")].toArray(), QJsonArray{QStringLiteral("TAKE 1")});
    EXPECT_EQ(second.Json()[QStringLiteral("revision")], first.Json()[QStringLiteral("revision")]);
    EXPECT_TRUE(second.Json().contains(QStringLiteral("outputs")));
    EXPECT_EQ(third.status, 404);
    EXPECT_EQ(fourth.Json()[QStringLiteral("revision")].toInt(),
              first.Json()[QStringLiteral("revision")].toInt() + 1);
    EXPECT_EQ(Received(), (Lines{"TAKE 1", "TAKE 1"}));
}

// A WebSocket client that never reads falls behind and is closed; the others
// keep getting every revision.
TEST_F(BridgeLink, AClientThatNeverReadsIsClosed) {
    Start();
    const double before = ResidentMb();
    QTcpSocket stuck;
    const qintptr fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    stuck.setSocketDescriptor(fd, QAbstractSocket::UnconnectedState);
    stuck.connectToHost(QHostAddress::LocalHost, bridge->Port());
    ASSERT_TRUE(WaitFor([&] { return stuck.state() == QAbstractSocket::ConnectedState; }));
    stuck.setReadBufferSize(1);
    stuck.write("GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                "Sec-WebSocket-Version: 13\r\n\r\n");
    Listener reader(bridge->Port(), QStringLiteral("/api/v1/events"));
    ASSERT_TRUE(WaitFor([&] { return bridge->WebSocketClients() == 2; }));
    // Label edits make revisions without the link; at most this many.
    int edits = 0;
    for (; edits < 4000 && bridge->WebSocketClients() == 2; ++edits) {
        const QByteArray label = QByteArray::number(edits % 100000);
        HttpClient client(bridge->Port());
        ASSERT_EQ(client.Request("PUT", "/api/v1/labels", "{\"inputs\":{\"1\":\"" + label + "\"}}").status, 200);
    }
    EXPECT_EQ(bridge->WebSocketClients(), 1) << edits << " edits";
    EXPECT_TRUE(WaitFor([&] { return static_cast<int>(reader.messages.size()) == edits + 1; }));
    EXPECT_EQ(log.filter(QStringLiteral("more than 64 messages behind")).size(), 1);
    EXPECT_LT(ResidentMb() - before, 50.0);
}

} // namespace
} // namespace qvc::test
