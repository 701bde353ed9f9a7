#include "Bridge.h"

#include "bridge/OpenApi.h"
#include "bridge/SwitcherPort.h"
#include "config/ConfigFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>
#include <QWebSocket>
#include <filesystem>

namespace qvc::bridge {


namespace {

using session::Session;

QJsonObject ErrorBody(const QString& text) {
    return QJsonObject{{QStringLiteral("error"), text}};
}

// Compares without leaving the position of the first difference in the time.
bool SameSecret(const QByteArray& a, const QByteArray& b) {
    const qsizetype n = std::max(a.size(), b.size());
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (qsizetype i = 0; i < n; ++i) {
        const char x = i < a.size() ? a[i] : '\0';
        const char y = i < b.size() ? b[i] : '\0';
        diff |= static_cast<unsigned char>(x ^ y);
    }
    return diff == 0;
}

double Seconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

qint64 FrameSize(qint64 payload) {
    return payload + (payload < 126 ? 2 : payload < 65536 ? 4 : 10);
}

} // namespace

Bridge::Bridge(Options options, Log log, QObject* parent)
    : QObject(parent), options_(std::move(options)), log_(std::move(log)),
      // Where the window would ask or tell a person, the bridge logs.
      prompts_(std::make_unique<session::TellingPrompts>(
          [this](const QString& text) { log_(QStringLiteral("link: ") + text); })),
      session_(options_.target, options_.timings, *prompts_),
      http_(options_.limits, [this](const HttpRequest& r, QPointer<QTcpSocket> s) {
          OnRequest(r, std::move(s));
      }) {
    pollTimer_.setInterval(options_.pollSeconds * 1000);
    connect(&pollTimer_, &QTimer::timeout, this, &Bridge::Poll);
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &Bridge::Connect);
    connect(&session_, &Session::changed, this, &Bridge::Broadcast);
    connect(&session_, &Session::linkLost, this, [this] {
        if (!busy_) {
            LinkDown(QStringLiteral("the switcher closed the connection"));
        }
    });
    connect(&http_, &QAbstractHttpServer::newWebSocketConnection, this, &Bridge::OnWebSocket);
    connect(&http_, &HttpServer::limitHit, this, [this](const QString& why, const QHostAddress& peer) {
        log_(QStringLiteral("refused %1: %2").arg(peer.toString(), why));
    });
}

Bridge::~Bridge() {
    switcherPort_.reset();
    // The session closes the link as it goes and reports that; nobody is
    // left to hear it.
    session_.disconnect(this);
    for (auto& c : clients_) {
        c->socket->disconnect(this);
    }
    clients_.clear();
}

bool Bridge::Start(QString& error) {
    if (!options_.configFile.isEmpty()) {
        const std::filesystem::path path = options_.configFile.toStdString();
        if (std::filesystem::exists(path)) {
            const ConfigReadResult read = ReadConfigFile(path, config_);
            if (read != ConfigReadResult::Ok) {
                error = QStringLiteral("%1: %2").arg(options_.configFile,
                                                     QString::fromLatin1(ConfigReadErrorText(read)));
                return false;
            }
            session_.SetLabels(UnpackLabels(config_));
        }
    }
    port_ = http_.Listen(options_.listenAddress, options_.listenPort);
    if (port_ == 0) {
        error = QStringLiteral("cannot listen on %1:%2")
                    .arg(options_.listenAddress.toString())
                    .arg(options_.listenPort);
        return false;
    }
    log_(QStringLiteral("listening on %1:%2").arg(options_.listenAddress.toString()).arg(port_));
    if (options_.switcherPort) {
        switcherPort_ = std::make_unique<SwitcherPort>(*this, log_);
        switcherPortNumber_ =
            switcherPort_->Listen(options_.switcherAddress, *options_.switcherPort);
        if (switcherPortNumber_ == 0) {
            error = QStringLiteral("cannot listen on %1:%2 for the switcher port%3")
                        .arg(options_.switcherAddress.toString())
                        .arg(*options_.switcherPort)
                        .arg(*options_.switcherPort < 1024
                                 ? QStringLiteral(" (a port below 1024 needs the capability "
                                                  "CAP_NET_BIND_SERVICE)")
                                 : QString());
            switcherPort_.reset();
            return false;
        }
        log_(QStringLiteral("switcher port on %1:%2")
                 .arg(options_.switcherAddress.toString())
                 .arg(switcherPortNumber_));
    }
    QTimer::singleShot(0, this, &Bridge::Connect);
    return true;
}

void Bridge::Stop() {
    stopping_ = true;
    if (!busy_) {
        Finish();
    }
}

void Bridge::Finish() {
    pollTimer_.stop();
    reconnectTimer_.stop();
    session_.Close();
    log_(QStringLiteral("stopped"));
    emit stopped();
}

// --- HTTP ---------------------------------------------------------------------

bool Bridge::Authorized(const QByteArray& authorization, const QString& query) const {
    if (options_.token.isEmpty()) {
        return true;
    }
    QByteArray given = authorization.startsWith("Bearer ") ? authorization.mid(7) : QByteArray();
    if (given.isEmpty()) {
        given = QUrlQuery(query).queryItemValue(QStringLiteral("token")).toUtf8();
    }
    return SameSecret(given, options_.token);
}

void Bridge::Answer(const QPointer<QTcpSocket>& socket, int status, const QJsonObject& body) {
    metrics_.Request(status);
    HttpServer::Respond(socket, HttpResponse{status, "application/json",
                                             QJsonDocument(body).toJson(QJsonDocument::Compact), {}});
}

void Bridge::OnRequest(const HttpRequest& request, QPointer<QTcpSocket> socket) {
    // A request pipelined behind one that waits for the link keeps its place:
    // it is handled, and answered, after that one.
    QTcpSocket* const key = socket.data();
    if (inFlight_.value(key) == 0) {
        return Handle(request, socket);
    }
    ++inFlight_[key];
    Pending later;
    later.who = request.path;
    later.later = [this, request, socket, key] {
        Done(key);
        Handle(request, socket);
    };
    queue_.push_back(std::move(later));
}

void Bridge::Done(QTcpSocket* key) {
    if (--inFlight_[key] <= 0) {
        inFlight_.remove(key);
    }
}

void Bridge::Handle(const HttpRequest& request, const QPointer<QTcpSocket>& socket) {
    const bool guarded = request.path.startsWith(QLatin1String("/api/")) ||
                         request.path == QLatin1String("/metrics");
    if (guarded && !Authorized(request.authorization, QString())) {
        log_(QStringLiteral("refused %1: no or a wrong token for %2")
                 .arg(request.peer.toString(), request.path));
        return Answer(socket, 401, ErrorBody(QStringLiteral("this bridge needs its token: "
                                                            "Authorization: Bearer TOKEN")));
    }
    auto mapped = MapRequest(request.method, request.path, request.body);
    if (const HttpError* e = std::get_if<HttpError>(&mapped)) {
        if (e->status != 404) {
            log_(QStringLiteral("refused %1 %2 from %3: %4")
                     .arg(QString::fromLatin1(request.method), request.path,
                          request.peer.toString(), e->text));
        }
        return Answer(socket, e->status, ErrorBody(e->text));
    }
    Call call = std::get<Call>(std::move(mapped));
    if (call.kind != CallKind::Operations && call.kind != CallKind::Read) {
        return AnswerNow(call, socket);
    }
    const QString who = QStringLiteral("%1 %2 from %3")
                            .arg(QString::fromLatin1(request.method), request.path,
                                 request.peer.toString());
    QTcpSocket* const key = socket.data();
    ++inFlight_[key];
    Submit(std::move(call), who, [this, socket, key](int status, const QJsonObject& body) {
        Done(key);
        Answer(socket, status, body);
    });
}

void Bridge::Submit(Call call, const QString& who, Reply reply) {
    if (!session_.LinkUp() || stopping_) {
        return reply(503, ErrorBody(QStringLiteral("no link to the switcher")));
    }
    if (queue_.size() >= kMaxQueue) {
        return reply(503, ErrorBody(QStringLiteral("64 requests are already waiting for the "
                                                   "switcher; try again shortly")));
    }
    queue_.push_back(Pending{who, std::move(call), std::move(reply), {}, {}, {}});
    QTimer::singleShot(0, this, &Bridge::Pump);
}

void Bridge::SubmitLine(std::string line, const QString& who, LineAnswer answer) {
    // A controller's line waits in its own queue until now: the bridge's
    // holds at most one of them per front, so it is not refused for length.
    if (!session_.LinkUp() || stopping_) {
        return answer({}, true);
    }
    Pending pending;
    pending.who = who;
    pending.line = std::move(line);
    pending.answer = std::move(answer);
    queue_.push_back(std::move(pending));
    QTimer::singleShot(0, this, &Bridge::Pump);
}

void Bridge::AnswerNow(const Call& call, const QPointer<QTcpSocket>& socket) {
    switch (call.kind) {
    case CallKind::State:
        metrics_.Request(200);
        return HttpServer::Respond(socket,
                                   HttpResponse{200, "application/json", StateBytes(false), {}});
    case CallKind::Labels:
        return SaveLabels(call.labels, socket);
    case CallKind::Metrics:
        metrics_.Request(200);
        return HttpServer::Respond(
            socket, HttpResponse{200, "text/plain; version=0.0.4; charset=utf-8",
                                 MetricsText(), {}});
    case CallKind::OpenApi:
        return Answer(socket, 200, OpenApiDocument());
    case CallKind::Static: {
        QFile file(call.resource);
        file.open(QIODevice::ReadOnly);
        const QByteArray type = call.resource.endsWith(QLatin1String(".css"))
                                    ? "text/css; charset=utf-8"
                                : call.resource.endsWith(QLatin1String(".js"))
                                    ? "text/javascript; charset=utf-8"
                                    : "text/html; charset=utf-8";
        metrics_.Request(200);
        // Nothing from another host, no inline script, no framing.
        return HttpServer::Respond(
            socket, HttpResponse{200, type, file.readAll(),
                                 "Content-Security-Policy: default-src 'self'; "
                                 "frame-ancestors 'none'\r\n"});
    }
    case CallKind::Events:
        return Answer(socket, 400,
                      ErrorBody(QStringLiteral("this path takes a WebSocket upgrade")));
    case CallKind::Operations:
    case CallKind::Read:
        break;
    }
}

void Bridge::SaveLabels(const std::vector<LabelEdit>& edits, const QPointer<QTcpSocket>& socket) {
    const LabelTables labels = WithEdits(session_.Labels(), edits);
    if (!options_.configFile.isEmpty()) {
        ConfigImage image = config_;
        for (const LabelEdit& e : edits) {
            WriteLabel(image, e.kind, e.number, e.text);
        }
        if (!WriteConfigFile(options_.configFile.toStdString(), image)) {
            log_(QStringLiteral("cannot save the labels to %1").arg(options_.configFile));
            return Answer(socket, 503,
                          ErrorBody(QStringLiteral("the labels could not be saved to the "
                                                   "configuration file; nothing was changed")));
        }
        config_ = image;
    }
    session_.SetLabels(labels);
    Answer(socket, 200,
           QJsonObject{{QStringLiteral("revision"), session_.Revision()},
                       {QStringLiteral("sent"), QJsonArray()}});
}

// The document changes only with the revision: it is made once per revision
// for every reader and every WebSocket client.
QByteArray Bridge::StateBytes(bool message) {
    if (cachedRevision_ != session_.Revision()) {
        QJsonObject state = session_.Document();
        cachedState_ = QJsonDocument(state).toJson(QJsonDocument::Compact);
        state.insert(QStringLiteral("type"), QStringLiteral("state"));
        cachedMessage_ = QJsonDocument(state).toJson(QJsonDocument::Compact);
        cachedRevision_ = session_.Revision();
    }
    return message ? cachedMessage_ : cachedState_;
}

QByteArray Bridge::MetricsText() const {
    Metrics::Gauges g;
    g.linkUp = session_.LinkUp();
    g.revision = session_.Revision();
    g.webSocketClients = WebSocketClients();
    g.queueLength = Queued();
    g.connections = http_.Connections();
    QByteArray text = metrics_.Text(g);
    if (switcherPort_) {
        text += "# HELP quorvel_switcher_port_clients Clients connected to the switcher port.\n"
                "# TYPE quorvel_switcher_port_clients gauge\n"
                "quorvel_switcher_port_clients " +
                QByteArray::number(switcherPort_->Clients()) + '\n';
    }
    for (const auto& more : extraMetrics_) {
        text += more();
    }
    return text;
}

// --- the link -----------------------------------------------------------------

void Bridge::Pump() {
    if (busy_ || queue_.empty()) {
        return;
    }
    Pending pending = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    Execute(pending);
    busy_ = false;
    if (stopping_) {
        return Finish();
    }
    if (!session_.LinkUp()) {
        LinkDown(QStringLiteral("the link was lost"));
    }
    QTimer::singleShot(0, this, &Bridge::Pump);
}

void Bridge::Execute(Pending& pending) {
    if (pending.later) {
        return pending.later();
    }
    QElapsedTimer clock;
    clock.start();
    if (pending.answer) {
        const Session::Forwarded forwarded = session_.Forward(pending.line);
        metrics_.Exchange(ExchangeKind::Forward, Seconds(clock), forwarded.answer.isEmpty());
        if (forwarded.answer.isEmpty() && session_.LinkUp()) {
            log_(QStringLiteral("the switcher did not answer %1").arg(pending.who));
        }
        if (forwarded.effect == LineEffect::ReadBackNeeded) {
            // The switcher restarted with settings the mirror does not know:
            // read back at once, ahead of everything else that waits.
            Pending read;
            read.who = QStringLiteral("read-back after %1").arg(pending.who);
            read.call.kind = CallKind::Read;
            read.reply = [this](int status, const QJsonObject&) {
                if (status != 200) {
                    log_(QStringLiteral("the read-back after a reset failed"));
                }
            };
            queue_.push_front(std::move(read));
        }
        return pending.answer(forwarded.answer, !session_.LinkUp());
    }
    if (pending.call.kind == CallKind::Read) {
        const bool read = session_.Read(session::Reads::Everything);
        metrics_.Exchange(ExchangeKind::Read, Seconds(clock), !read);
        return read ? pending.reply(200,
                             QJsonObject{{QStringLiteral("revision"), session_.Revision()},
                                         {QStringLiteral("sent"), QJsonArray()}})
                    : pending.reply(503,
                             ErrorBody(QStringLiteral("the switcher did not answer the read-back")));
    }
    QJsonArray sent;
    QStringList notes;
    for (const auto& [op, args] : pending.call.operations) {
        const Session::Result result = session_.Run(*op, args);
        switch (result.status) {
        case Session::Result::Status::Refused: {
            const bool state = result.refusal.kind == session::Refusal::Kind::State;
            log_(QStringLiteral("refused %1: %2").arg(pending.who, result.refusal.text));
            return pending.reply(state ? 409 : 400, ErrorBody(result.refusal.text));
        }
        case Session::Result::Status::Failed:
            metrics_.Exchange(ExchangeKind::Command, Seconds(clock), true);
            return pending.reply(503,
                          ErrorBody(session_.LinkUp()
                                        ? QStringLiteral("the switcher did not answer")
                                        : QStringLiteral("no link to the switcher")));
        case Session::Result::Status::Done:
            break;
        }
        for (const Command& c : result.sent) {
            sent.append(QString::fromStdString(c.line));
        }
        if (!result.note.isEmpty()) {
            notes << result.note;
        }
    }
    metrics_.Exchange(ExchangeKind::Command, Seconds(clock), false);
    QJsonObject body{{QStringLiteral("revision"), session_.Revision()},
                     {QStringLiteral("sent"), sent}};
    if (!notes.isEmpty()) {
        body.insert(QStringLiteral("note"), notes.join(QStringLiteral("; ")));
    }
    pending.reply(200, body);
}

void Bridge::Connect() {
    if (busy_ || stopping_ || session_.LinkUp()) {
        return;
    }
    busy_ = true;
    QElapsedTimer clock;
    clock.start();
    const Session::OpenResult opened = session_.Open();
    bool up = opened == Session::OpenResult::Open && session_.Read(session::Reads::Everything);
    metrics_.Exchange(ExchangeKind::Connect, Seconds(clock), !up);
    busy_ = false;
    if (stopping_) {
        return Finish();
    }
    if (!up) {
        session_.Close();
        const int delay =
            options_.backoff[std::min(backoffStep_, options_.backoff.size() - 1)];
        ++backoffStep_;
        log_(QStringLiteral("no switcher at %1; trying again in %2 s")
                 .arg(session_.Target().Description())
                 .arg(delay));
        reconnectTimer_.start(delay * 1000);
        return;
    }
    backoffStep_ = 0;
    linkWasUp_ = true;
    log_(QStringLiteral("link up to %1, read back (revision %2)")
             .arg(session_.Target().Description())
             .arg(session_.Revision()));
    if (options_.pollSeconds > 0) {
        pollTimer_.start();
    }
    Pump();
}

void Bridge::LinkDown(const QString& why) {
    pollTimer_.stop();
    session_.Close();
    // What waited for the link is answered now, in order.
    std::deque<Pending> waiting = std::exchange(queue_, {});
    for (Pending& p : waiting) {
        if (p.later) {
            p.later();
        } else if (p.answer) {
            p.answer({}, true);
        } else {
            p.reply(503, ErrorBody(QStringLiteral("no link to the switcher")));
        }
    }
    if (linkWasUp_) {
        log_(QStringLiteral("link down: %1").arg(why));
        linkWasUp_ = false;
    }
    if (!stopping_ && !reconnectTimer_.isActive()) {
        reconnectTimer_.start(options_.backoff.front() * 1000);
        backoffStep_ = 1;
    }
}

void Bridge::Poll() {
    if (busy_ || !queue_.empty() || !session_.LinkUp()) {
        return;
    }
    busy_ = true;
    QElapsedTimer clock;
    clock.start();
    const int before = session_.Revision();
    const bool read = session_.Resync();
    metrics_.Exchange(ExchangeKind::Poll, Seconds(clock), !read);
    busy_ = false;
    if (stopping_) {
        return Finish();
    }
    if (!read) {
        return LinkDown(QStringLiteral("the switcher did not answer the poll"));
    }
    if (session_.Revision() != before) {
        log_(QStringLiteral("resync found a change (revision %1)").arg(session_.Revision()));
    }
    Pump();
}

// --- WebSocket ----------------------------------------------------------------

void Bridge::OnWebSocket() {
    while (http_.hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = http_.nextPendingWebSocketConnection();
        const QUrl url = socket->requestUrl();
        const QUrl origin(socket->origin());
        const bool foreign = !socket->origin().isEmpty() &&
                             (origin.host().compare(url.host(), Qt::CaseInsensitive) != 0 ||
                              origin.port(80) != url.port(80));
        QByteArray authorization;
        for (const QByteArray& name : socket->request().rawHeaderList()) {
            if (name.compare("authorization", Qt::CaseInsensitive) == 0) {
                authorization = socket->request().rawHeader(name);
            }
        }
        QString refusal;
        if (url.path() != QLatin1String("/api/v1/events")) {
            refusal = QStringLiteral("a WebSocket on %1").arg(url.path());
        } else if (foreign) {
            refusal = QStringLiteral("a WebSocket from the foreign origin %1").arg(socket->origin());
        } else if (!Authorized(authorization, url.query())) {
            refusal = QStringLiteral("a WebSocket without the token");
        }
        if (!refusal.isEmpty()) {
            log_(QStringLiteral("refused %1: %2").arg(socket->peerAddress().toString(), refusal));
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            QWebSocket* closing = socket.release();
            closing->setParent(this); // goes with the bridge at the latest
            connect(closing, &QWebSocket::disconnected, closing, &QObject::deleteLater);
            QTimer::singleShot(1000, closing, &QObject::deleteLater);
            continue;
        }
        auto client = std::make_unique<Client>();
        socket->setParent(this); // a socket on its way out goes with the bridge at the latest
        client->socket = std::move(socket);
        Client* c = client.get();
        connect(c->socket.get(), &QWebSocket::bytesWritten, this, [c](qint64 n) {
            c->written += n;
            while (!c->ends.empty() && c->ends.front() <= c->written) {
                c->ends.pop_front();
            }
        });
        connect(c->socket.get(), &QWebSocket::disconnected, this, [this, c] {
            const auto it = std::find_if(clients_.begin(), clients_.end(),
                                         [c](const auto& p) { return p.get() == c; });
            if (it != clients_.end()) {
                // The socket is inside its own signal: it goes later.
                c->socket.release()->deleteLater();
                clients_.erase(it);
            }
        });
        clients_.push_back(std::move(client));
        Push(*c, StateBytes(true));
    }
}

void Bridge::Push(Client& client, const QByteArray& message) {
    if (client.ends.size() >= kMaxBehind) {
        log_(QStringLiteral("closed the WebSocket of %1: more than %2 messages behind")
                 .arg(client.socket->peerAddress().toString())
                 .arg(kMaxBehind));
        client.socket->abort();
        return;
    }
    client.queued += FrameSize(message.size());
    client.ends.push_back(client.queued);
    client.socket->sendTextMessage(QString::fromUtf8(message));
}

void Bridge::Broadcast() {
    if (clients_.empty()) {
        return;
    }
    const QByteArray message = StateBytes(true);
    // A client that is closed on the way leaves the list: walk a copy.
    std::vector<Client*> now;
    for (auto& c : clients_) {
        now.push_back(c.get());
    }
    for (Client* c : now) {
        if (c->socket->state() == QAbstractSocket::ConnectedState) {
            Push(*c, message);
        }
    }
}

} // namespace qvc::bridge
