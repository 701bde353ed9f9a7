#include "HttpServer.h"

#include <QHttpServerRequest>
#include <QMetaEnum>
#include <QTimer>
#include <deque>

namespace qvc::bridge {

namespace {

// Watches one connection's bytes before the HTTP parser reads them: it finds
// where each request's head and body end (for the limits) and remembers per
// request whether the connection closes after its answer. A connection that
// upgrades to a WebSocket is left alone from then on.
class ConnectionGuard : public QObject {
  public:
    static constexpr const char* kName = "qvc-connection-guard";

    ConnectionGuard(QTcpSocket* socket, const HttpLimits& limits, HttpServer& server)
        : QObject(socket), socket_(socket), limits_(limits), server_(server) {
        setObjectName(kName);
        requestTimer_.setSingleShot(true);
        idleTimer_.setSingleShot(true);
        connect(&requestTimer_, &QTimer::timeout, this, [this] { Cut("a request took too long"); });
        connect(&idleTimer_, &QTimer::timeout, this, [this] { socket_->abort(); });
        connect(socket_, &QTcpSocket::readyRead, this, &ConnectionGuard::Watch);
        idleTimer_.start(limits_.idleMs);
    }

    // Whether the connection closes after the answer to its oldest request.
    bool TakeCloseFlag() {
        if (closeAfter_.empty()) {
            return false;
        }
        const bool close = closeAfter_.front();
        closeAfter_.pop_front();
        if (closeAfter_.empty() && head_.isEmpty() && bodyLeft_ == 0) {
            idleTimer_.start(limits_.idleMs);
        }
        return close;
    }

  private:
    void Watch() {
        idleTimer_.stop();
        QByteArray bytes = socket_->peek(socket_->bytesAvailable());
        while (!bytes.isEmpty() && !upgraded_) {
            if (bodyLeft_ > 0) {
                const qint64 n = std::min<qint64>(bodyLeft_, bytes.size());
                bodyLeft_ -= n;
                bytes.remove(0, n);
                if (bodyLeft_ == 0) {
                    requestTimer_.stop();
                }
                continue;
            }
            if (head_.isEmpty()) {
                requestTimer_.start(limits_.requestMs);
            }
            const qsizetype end = (head_ + bytes).indexOf("\r\n\r\n");
            if (end < 0) {
                head_ += bytes;
                if (head_.size() > limits_.maxHead) {
                    Refuse(431, "a request head over 16 KiB");
                }
                return;
            }
            const qsizetype used = end + 4 - head_.size();
            head_ += bytes.left(used);
            bytes.remove(0, used);
            if (!Headed()) {
                return;
            }
        }
    }

    // A whole head arrived: its framing and what it asks of the connection.
    bool Headed() {
        const QByteArray head = std::exchange(head_, {});
        if (head.size() - 4 > limits_.maxHead) {
            Refuse(431, "a request head over 16 KiB");
            return false;
        }
        const QList<QByteArray> lines = head.left(head.size() - 4).split('\n');
        const QList<QByteArray> first = lines.first().trimmed().split(' ');
        if (first.size() != 3 || !first[2].startsWith("HTTP/1.")) {
            Refuse(400, "a request line that is not HTTP/1.x");
            return false;
        }
        QByteArray connection, upgrade, length, transfer;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            const QByteArray value = lines[i].mid(colon + 1).trimmed().toLower();
            if (name == "connection") {
                connection = value;
            } else if (name == "upgrade") {
                upgrade = value;
            } else if (name == "content-length") {
                length = value;
            } else if (name == "transfer-encoding") {
                transfer = value;
            }
        }
        if (upgrade == "websocket") {
            upgraded_ = true; // the WebSocket server takes the connection over
            requestTimer_.stop();
            idleTimer_.stop();
            return false;
        }
        if (!transfer.isEmpty()) {
            Refuse(411, "a body without a Content-Length");
            return false;
        }
        bool ok = true;
        const qint64 size = length.isEmpty() ? 0 : length.toLongLong(&ok);
        if (!ok || size < 0) {
            Refuse(400, "a Content-Length that is not a number");
            return false;
        }
        if (size > limits_.maxBody) {
            Refuse(413, "a body over 64 KiB");
            return false;
        }
        const bool http10 = first[2] == "HTTP/1.0";
        closeAfter_.push_back(connection.contains("close") ||
                              (http10 && !connection.contains("keep-alive")));
        bodyLeft_ = size;
        if (size == 0) {
            requestTimer_.stop();
        }
        return true;
    }

    // Answers at once and closes: the parser never sees the rest.
    void Refuse(int status, const char* why) {
        const QByteArray text = QByteArrayLiteral("{\"error\":\"") + why + "\"}";
        socket_->write("HTTP/1.1 " + QByteArray::number(status) + ' ' +
                       HttpServer::StatusText(status) +
                       "\r\nContent-Type: application/json\r\nContent-Length: " +
                       QByteArray::number(text.size()) + "\r\nConnection: close\r\n\r\n" + text);
        Cut(QString::fromLatin1(why));
    }

    void Cut(const QString& why) {
        emit server_.limitHit(why, socket_->peerAddress());
        upgraded_ = true; // nothing more is watched
        disconnect(socket_, nullptr, this, nullptr);
        socket_->readAll();
        socket_->disconnectFromHost();
        QTimer::singleShot(1000, socket_, [s = socket_] { s->abort(); });
    }

    QTcpSocket* socket_;
    const HttpLimits& limits_;
    HttpServer& server_;
    QByteArray head_;
    qint64 bodyLeft_ = 0;
    bool upgraded_ = false;
    std::deque<bool> closeAfter_;
    QTimer requestTimer_;
    QTimer idleTimer_;
};

} // namespace

// Hands the HTTP server only the connections within the limit, each with its
// guard.
class HttpServer::Listener : public QTcpServer {
  public:
    Listener(HttpServer& server, const HttpLimits& limits)
        : QTcpServer(&server), server_(server), limits_(limits) {}
    int Count() const { return count_; }

  protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        if (count_ >= limits_.maxConnections) {
            emit server_.limitHit(QStringLiteral("more than %1 connections").arg(count_),
                                  socket->peerAddress());
            socket->abort();
            socket->deleteLater();
            return;
        }
        ++count_;
        connect(socket, &QObject::destroyed, this, [this] { --count_; });
        new ConnectionGuard(socket, limits_, server_);
        addPendingConnection(socket);
    }

  private:
    HttpServer& server_;
    const HttpLimits& limits_;
    int count_ = 0;
};

HttpServer::HttpServer(HttpLimits limits, Handler handler, QObject* parent)
    : QAbstractHttpServer(parent), limits_(limits), handler_(std::move(handler)) {}

quint16 HttpServer::Listen(const QHostAddress& address, quint16 port) {
    listener_ = new Listener(*this, limits_);
    if (!listener_->listen(address, port)) {
        delete listener_;
        listener_ = nullptr;
        return 0;
    }
    bind(listener_);
    return listener_->serverPort();
}

int HttpServer::Connections() const {
    return listener_ != nullptr ? listener_->Count() : 0;
}

bool HttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    // An upgrade is the WebSocket server's: Qt hands it over after this.
    for (const auto& [name, value] : request.headers()) {
        if (name.compare("upgrade", Qt::CaseInsensitive) == 0 &&
            value.compare("websocket", Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    HttpRequest r;
    const QByteArray method =
        QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(
            static_cast<int>(request.method()));
    r.method = method.toUpper();
    r.path = request.url().path();
    r.query = request.url().query();
    r.body = request.body();
    for (const auto& [name, value] : request.headers()) {
        if (name.compare("authorization", Qt::CaseInsensitive) == 0) {
            r.authorization = value;
        }
    }
    r.peer = request.remoteAddress();
    handler_(r, QPointer<QTcpSocket>(socket));
    return true;
}

void HttpServer::missingHandler(const QHttpServerRequest&, QTcpSocket* socket) {
    Respond(socket, HttpResponse{404, "application/json", "{\"error\":\"not found\"}", {}});
}

void HttpServer::Respond(const QPointer<QTcpSocket>& socket, const HttpResponse& response) {
    if (socket.isNull() || socket->state() != QAbstractSocket::ConnectedState) {
        return;
    }
    auto* guard = dynamic_cast<ConnectionGuard*>(socket->findChild<QObject*>(
        QString::fromLatin1(ConnectionGuard::kName), Qt::FindDirectChildrenOnly));
    const bool close = guard != nullptr && guard->TakeCloseFlag();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      StatusText(response.status) + "\r\nContent-Type: " + response.contentType +
                      "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                      "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n" +
                      response.headers;
    if (close) {
        head += "Connection: close\r\n";
    }
    socket->write(head + "\r\n" + response.body);
    if (close) {
        socket->disconnectFromHost();
    }
}

QByteArray HttpServer::StatusText(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        break;
    }
    return "Error";
}

} // namespace qvc::bridge
