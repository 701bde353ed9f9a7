// quorvel-bridge in the test process against the simulator on TCP, and a
// plain HTTP client on a socket of its own, so that a test writes exactly the
// bytes it means and reads exactly what came back. Everything waits on
// conditions while the one event loop runs: the bridge and its clients share
// the thread, as the service and its clients share the machine.
#pragma once

#include "bridge/Bridge.h"
#include "tests/support/SimPeer.h"
#include "tests/support/WaitFor.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <memory>

namespace qvc::test {

struct Reply {
    int status = 0;
    QByteArray head;
    QByteArray body;
    QJsonObject Json() const { return QJsonDocument::fromJson(body).object(); }
    QString Error() const { return Json().value(QStringLiteral("error")).toString(); }
};

// One connection to the bridge.
class HttpClient {
  public:
    explicit HttpClient(quint16 port) {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(WaitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState; }));
    }
    QTcpSocket& Socket() { return socket_; }

    // Sends `raw` and reads one answer (by its Content-Length).
    Reply Raw(const QByteArray& raw) {
        socket_.write(raw);
        return Read();
    }
    Reply Request(const QByteArray& method, const QByteArray& path, const QByteArray& body = {},
                  const QByteArray& extraHeaders = {}) {
        return Raw(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders +
                   "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }
    Reply Read() {
        Reply reply;
        EXPECT_TRUE(WaitFor([&] {
            buffer_ += socket_.readAll();
            const qsizetype end = buffer_.indexOf("\r\n\r\n");
            if (end < 0) {
                return false;
            }
            const qsizetype at = buffer_.toLower().indexOf("content-length:");
            const qsizetype length = buffer_.mid(at + 15, buffer_.indexOf('\r', at) - at - 15)
                                         .trimmed()
                                         .toLongLong();
            if (buffer_.size() < end + 4 + length) {
                return false;
            }
            reply.head = buffer_.left(end);
            reply.body = buffer_.mid(end + 4, length);
            buffer_.remove(0, end + 4 + length);
            reply.status = reply.head.mid(9, 3).toInt();
            return true;
        })) << buffer_.constData();
        return reply;
    }
    bool Closed() {
        return WaitFor([&] {
            buffer_ += socket_.readAll();
            return socket_.state() == QAbstractSocket::UnconnectedState;
        });
    }

  private:
    QTcpSocket socket_;
    QByteArray buffer_;
};

class BridgeRig : public ::testing::Test {
  protected:
    // A bridge on a free loopback port, linked to a 16 x 16 demo switcher
    // and read back; the simulator's record starts empty after that.
    void Start(SimSpec spec = {.model = 3, .demo = true, .tcp = true},
               const std::function<void(bridge::Options&)>& tweak = {}) {
        sim = std::make_unique<SimPeer>(spec);
        bridge::Options options;
        options.target.kind = session::LinkTarget::Kind::Tcp;
        options.target.tcpAddress = QStringLiteral("127.0.0.1");
        options.target.tcpPort = (*sim)->TcpPort();
        options.listenPort = 0;
        options.timings = ShortTimings();
        options.pollSeconds = 0;
        if (tweak) {
            tweak(options);
        }
        bridge = std::make_unique<bridge::Bridge>(options, [this](const QString& line) {
            log << line;
        });
        QString error;
        ASSERT_TRUE(bridge->Start(error)) << error.toStdString();
        ASSERT_TRUE(WaitFor([&] { return bridge->Session().LinkUp() && bridge->Idle(); }));
        ASSERT_TRUE(WaitFor([&] { return (*sim)->ReceivedLines().size() >= 23; }));
        (*sim)->ClearReceivedLines();
    }

    Reply Call(const QByteArray& method, const QByteArray& path, const QByteArray& body = {},
               const QByteArray& headers = {}) {
        HttpClient client(bridge->Port());
        return client.Request(method, path, body, headers);
    }
    Reply Post(const QByteArray& path, const QByteArray& body = {}) {
        return Call("POST", path, body);
    }
    QJsonObject State() { return Call("GET", "/api/v1/state").Json(); }
    Lines Received() { return (*sim)->ReceivedLines(); }

    std::unique_ptr<SimPeer> sim;
    std::unique_ptr<bridge::Bridge> bridge;
    QStringList log;
};

} // namespace qvc::test
