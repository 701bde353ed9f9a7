#include "SwitcherPort.h"

#include "bridge/Bridge.h"

#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace qvc::bridge {

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

QString PeerOf(const QTcpSocket& socket) {
    const QHostAddress address = socket.peerAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(socket.peerPort());
}

// The line as the log shows it: printable, and not too long.
QString Shown(const std::string& line) {
    QString text = QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) {
            c = QLatin1Char('?');
        }
    }
    return text.isEmpty() ? QStringLiteral("a bare CR") : QStringLiteral("\"%1\"").arg(text);
}

} // namespace

SwitcherPort::SwitcherPort(Bridge& bridge, Log log, QObject* parent)
    : QObject(parent), bridge_(bridge), log_(std::move(log)) {
    connect(&server_, &QTcpServer::newConnection, this, &SwitcherPort::OnConnection);
}

SwitcherPort::~SwitcherPort() {
    for (const auto& c : clients_) {
        if (c->socket != nullptr) {
            c->socket->disconnect(this);
            c->socket->abort();
        }
    }
}

quint16 SwitcherPort::Listen(const QHostAddress& address, quint16 port) {
    if (!server_.listen(address, port)) {
        return 0;
    }
    return server_.serverPort();
}

void SwitcherPort::OnConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        // Answers are short and each is awaited by its client.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto client = std::make_shared<Client>();
        client->socket = socket;
        client->peer = PeerOf(*socket);
        clients_.push_back(client);
        connect(socket, &QTcpSocket::readyRead, this, [this, client] { OnBytes(client); });
        connect(socket, &QTcpSocket::disconnected, this, [this, client] { OnGone(client); });
    }
}

void SwitcherPort::OnBytes(const std::shared_ptr<Client>& client) {
    if (client->socket == nullptr) {
        return;
    }
    const QByteArray bytes = client->socket->readAll();
    for (const char byte : bytes) {
        if (byte == kLf) {
            continue;
        }
        if (byte != kCr) {
            client->partial.append(byte);
            if (client->partial.size() > kMaxLine) {
                return Drop(client, QStringLiteral("a line longer than %1 bytes").arg(kMaxLine));
            }
            continue;
        }
        std::string line = client->partial.toStdString();
        client->partial.clear();
        if (!bridge_.Session().LinkUp()) {
            continue; // unanswered, as by a silent switcher
        }
        if (client->waiting >= kMaxWaiting) {
            return Drop(
                client,
                QStringLiteral("more than %1 lines waiting for the switcher").arg(kMaxWaiting));
        }
        ++client->waiting;
        waiting_.push_back(Line{client, std::move(line)});
    }
    Next();
}

void SwitcherPort::OnGone(const std::shared_ptr<Client>& client) {
    if (client->socket == nullptr) {
        return;
    }
    // Whole lines that came with the close still go; the rest of a line does not.
    if (client->socket->bytesAvailable() > 0) {
        OnBytes(client);
    }
    if (client->socket == nullptr) {
        return; // dropped on the way
    }
    client->socket->disconnect(this);
    client->socket->deleteLater();
    client->socket = nullptr;
    std::erase(clients_, client);
}

void SwitcherPort::Drop(const std::shared_ptr<Client>& client, const QString& why) {
    log_(QStringLiteral("switcher port: disconnected %1: %2").arg(client->peer, why));
    std::erase_if(waiting_, [&](const Line& l) { return l.client == client; });
    client->waiting = 0;
    QTcpSocket* socket = std::exchange(client->socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    std::erase(clients_, client);
}

// One line in exchange at a time. Each next one goes to the back of the
// bridge's queue, so that what the bridge has waiting goes first.
void SwitcherPort::Next() {
    if (inExchange_ || waiting_.empty()) {
        return;
    }
    Line line = std::move(waiting_.front());
    waiting_.pop_front();
    --line.client->waiting;
    inExchange_ = true;
    const QString who =
        QStringLiteral("%1 from %2 (switcher port)").arg(Shown(line.text), line.client->peer);
    bridge_.SubmitLine(std::move(line.text), who,
                       [this, client = line.client](const QByteArray& answer, bool linkDown) {
                           inExchange_ = false;
                           if (linkDown) {
                               // The clients' reads time out, as against a silent switcher.
                               for (const Line& l : waiting_) {
                                   l.client->waiting = 0;
                               }
                               waiting_.clear();
                           }
                           if (client->socket != nullptr && !answer.isEmpty()) {
                               client->socket->write(answer);
                           }
                           QTimer::singleShot(0, this, &SwitcherPort::Next);
                       });
}

} // namespace qvc::bridge
