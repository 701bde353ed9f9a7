// The resident service: one session with the switcher, opened to HTTP and
// WebSocket clients. One thread and one exchange at a time: requests that
// need the link wait their turn in a queue of at most 64; the state, the
// metrics and the API document are answered at once from the mirror. The
// link is read back at start and after every reconnect, polled lightly while
// idle, and reopened with a back-off when it is lost. Nothing waits for a
// person: every message the link would show becomes a log line.
#pragma once

#include "bridge/Api.h"
#include "bridge/HttpServer.h"
#include "bridge/Metrics.h"
#include "bridge/Options.h"
#include "config/ConfigImage.h"
#include "session/Session.h"
#include "session/TellingPrompts.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <QWebSocket>
#include <deque>
#include <functional>
#include <memory>

namespace qvc::bridge {

class SwitcherPort;

class Bridge : public QObject {
    Q_OBJECT
  public:
    using Log = std::function<void(const QString&)>;
    Bridge(Options options, Log log, QObject* parent = nullptr);
    ~Bridge() override;

    // Loads the configuration file's labels and listens; false with `error`
    // set when either fails. The link opens from the event loop.
    bool Start(QString& error);
    quint16 Port() const { return port_; }
    // The switcher port's number (0 without --switcher-port) and its clients.
    quint16 SwitcherPortNumber() const { return switcherPortNumber_; }
    const SwitcherPort* Switchers() const { return switcherPort_.get(); }
    // Finishes the exchange in progress, closes the link, then `stopped`.
    void Stop();

    const session::Session& Session() const { return session_; }
    int Queued() const { return static_cast<int>(queue_.size()); }
    // No exchange at work and nothing waiting for the link.
    bool Idle() const { return !busy_ && queue_.empty(); }
    int HttpConnections() const { return http_.Connections(); }
    int WebSocketClients() const { return static_cast<int>(clients_.size()); }

    // Runs a call that needs the link (rows of the table, a read-back) in its
    // turn, as a request over HTTP would; `reply` gets the HTTP status and the
    // answer's body. For every front of the bridge.
    using Reply = std::function<void(int status, const QJsonObject& body)>;
    void Submit(Call call, const QString& who, Reply reply);

    // Forwards another controller's line (without its CR) in its turn, as
    // the switcher port does for its clients: `answer` gets the switcher's
    // answer byte for byte (Session::Forward), or empty when none came; the
    // mirror has followed the line by then. `linkDown` is set when the line
    // was not sent because there is no link (also when it went down while
    // the line waited). A reset is followed by a full read-back.
    using LineAnswer = std::function<void(const QByteArray& answer, bool linkDown)>;
    void SubmitLine(std::string line, const QString& who, LineAnswer answer);

    // More of /metrics from another front (Prometheus text format, whole
    // lines), asked for at every scrape after the bridge's own.
    void AddMetrics(std::function<QByteArray()> text) { extraMetrics_.push_back(std::move(text)); }

    static constexpr int kMaxQueue = 64;
    static constexpr int kMaxBehind = 64; // WebSocket messages a client may lag

  signals:
    void stopped();

  private:
    struct Pending {
        QString who; // for the log: "POST /api/v1/route from 127.0.0.1"
        Call call;
        std::function<void(int status, const QJsonObject& body)> reply;
        // A request pipelined behind another: handled in its turn instead.
        std::function<void()> later;
        // Another controller's line, forwarded in its turn instead.
        std::string line;
        LineAnswer answer;
    };
    struct Client {
        std::unique_ptr<QWebSocket> socket;
        std::deque<qint64> ends; // where each unwritten message ends in the stream
        qint64 queued = 0;
        qint64 written = 0;
    };

    void OnRequest(const HttpRequest& request, QPointer<QTcpSocket> socket);
    void Handle(const HttpRequest& request, const QPointer<QTcpSocket>& socket);
    void Done(QTcpSocket* key); // one request of the connection answered
    bool Authorized(const QByteArray& authorization, const QString& query) const;
    void Answer(const QPointer<QTcpSocket>& socket, int status, const QJsonObject& body);
    void AnswerNow(const Call& call, const QPointer<QTcpSocket>& socket);
    void SaveLabels(const std::vector<LabelEdit>& edits, const QPointer<QTcpSocket>& socket);
    QByteArray MetricsText() const;
    // The state document as JSON; as a WebSocket message with "type".
    QByteArray StateBytes(bool message);

    void Pump();
    void Execute(Pending& pending);
    void Connect();
    void LinkDown(const QString& why);
    void Poll();
    void Finish();

    void OnWebSocket();
    void Push(Client& client, const QByteArray& message);
    void Broadcast();

    Options options_;
    Log log_;
    std::unique_ptr<session::TellingPrompts> prompts_;
    session::Session session_;
    HttpServer http_;
    Metrics metrics_;
    quint16 port_ = 0;
    ConfigImage config_{};
    std::deque<Pending> queue_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::vector<std::function<QByteArray()>> extraMetrics_;
    bool busy_ = false; // an exchange, a connect or a poll is at work
    bool stopping_ = false;
    bool linkWasUp_ = false;
    QHash<QTcpSocket*, int> inFlight_; // requests of a connection not yet answered
    int cachedRevision_ = -1;
    QByteArray cachedState_;
    QByteArray cachedMessage_;
    std::size_t backoffStep_ = 0;
    QTimer pollTimer_;
    QTimer reconnectTimer_;
    // Last: it goes first, while the queue it sends to is still there.
    std::unique_ptr<SwitcherPort> switcherPort_;
    quint16 switcherPortNumber_ = 0;
};

} // namespace qvc::bridge
