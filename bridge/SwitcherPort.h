// The switcher's own line protocol on a TCP port of the bridge, for any
// number of other controllers: the desktop program in Ethernet mode,
// quorvel-ctl --tcp, a room controller's driver.
//
// Each client's bytes are cut into lines at CR (an LF is dropped, as the
// switcher ignores it). The lines of all clients wait in the order they
// arrived; one at a time goes to the bridge (Bridge::SubmitLine), behind
// whatever the bridge itself has waiting, so that its poll, API and MQTT
// take turns with the clients. The switcher's answer (the prompt, or the
// framed reply up to its prompt) goes to the client that sent the line and
// to no other.
//
//   - A client that leaves: the line in exchange, and the whole lines it sent
//     before it left, still go to the switcher; their answers are dropped.
//   - A line longer than kMaxLine bytes, or more than kMaxWaiting lines of
//     one client waiting: that client is disconnected, with a log line, and
//     its waiting lines are dropped.
//   - No link: a line is dropped unanswered, as a silent switcher would leave
//     it; lines waiting when the link goes down are dropped too.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTcpSocket;

namespace qvc::bridge {

class Bridge;

class SwitcherPort : public QObject {
    Q_OBJECT
  public:
    using Log = std::function<void(const QString&)>;
    SwitcherPort(Bridge& bridge, Log log, QObject* parent = nullptr);
    ~SwitcherPort() override;

    // Listens on `address`:`port` (0: any free port); the port, or 0 when it
    // cannot listen.
    quint16 Listen(const QHostAddress& address, quint16 port);
    quint16 Port() const { return server_.serverPort(); }
    int Clients() const { return static_cast<int>(clients_.size()); }
    // Lines of all clients waiting for their turn (the one in exchange not
    // counted).
    int Waiting() const { return static_cast<int>(waiting_.size()); }

    static constexpr int kMaxLine = 256;   // bytes, without the CR
    static constexpr int kMaxWaiting = 64; // lines of one client

  private:
    struct Client {
        QTcpSocket* socket = nullptr; // null once it has left or was dropped
        QString peer;                 // "127.0.0.1:40112"
        QByteArray partial;           // the line being received
        int waiting = 0;              // its lines in waiting_
    };
    struct Line {
        std::shared_ptr<Client> client;
        std::string text;
    };

    void OnConnection();
    void OnBytes(const std::shared_ptr<Client>& client);
    void OnGone(const std::shared_ptr<Client>& client);
    void Drop(const std::shared_ptr<Client>& client, const QString& why);
    void Next();

    Bridge& bridge_;
    Log log_;
    QTcpServer server_;
    std::vector<std::shared_ptr<Client>> clients_;
    std::deque<Line> waiting_;
    bool inExchange_ = false;
};

} // namespace qvc::bridge
