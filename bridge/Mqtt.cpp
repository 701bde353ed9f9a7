#include "Mqtt.h"

#include "bridge/Discovery.h"

#include <QJsonDocument>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>

namespace qvc::bridge {

namespace {

// mosquitto_lib_init once for the process, mosquitto_lib_cleanup at its end.
void InitLibrary() {
    static const struct Library {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
        Library(const Library&) = delete;
        Library& operator=(const Library&) = delete;
    } library;
}

// Why a library call failed, as a log line's clause.
QString Reason(int rc) {
    QString text;
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        text = QString::fromLocal8Bit(std::strerror(errno));
        break;
    case MOSQ_ERR_CONN_LOST:
        return QStringLiteral("the connection was closed");
    case MOSQ_ERR_KEEPALIVE:
        return QStringLiteral("the broker stopped answering");
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        return QStringLiteral("the TLS handshake failed (does the CA file sign the broker's "
                              "certificate, for this name?)");
    case MOSQ_ERR_EAI:
    case MOSQ_ERR_LOOKUP:
        return QStringLiteral("the name could not be looked up");
    default:
        text = QString::fromUtf8(mosquitto_strerror(rc));
        break;
    }
    // The library's and the system's sentences as a clause of a log line.
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    if (!text.isEmpty()) {
        text[0] = text[0].toLower();
    }
    return text;
}

QJsonObject ErrorObject(const QString& operation, const QString& error) {
    return QJsonObject{{QStringLiteral("operation"), operation}, {QStringLiteral("error"), error}};
}

} // namespace

// --- MqttClient -------------------------------------------------------------------

MqttClient::MqttClient(Settings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {
    InitLibrary();
    misc_.setInterval(1000);
    connect(&misc_, &QTimer::timeout, this, &MqttClient::OnMisc);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &MqttClient::Attempt);
}

MqttClient::~MqttClient() {
    misc_.stop();
    retry_.stop();
    DropNotifiers();
    if (mosq_ != nullptr) {
        mosquitto_destroy(mosq_);
    }
}

void MqttClient::Start() {
    if (state_ != State::Idle) {
        return;
    }
    QString error;
    mosq_ = mosquitto_new(settings_.clientId.toUtf8().constData(), true, this);
    if (mosq_ == nullptr) {
        error = QStringLiteral("cannot make an MQTT client: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
    } else {
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnect);
        mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
        mosquitto_message_callback_set(mosq_, &MqttClient::OnMessage);
        int rc = MOSQ_ERR_SUCCESS;
        if (!settings_.willTopic.isEmpty()) {
            rc = mosquitto_will_set(mosq_, settings_.willTopic.toUtf8().constData(),
                                    static_cast<int>(settings_.willPayload.size()),
                                    settings_.willPayload.constData(), 1, true);
        }
        if (rc == MOSQ_ERR_SUCCESS && !settings_.user.isEmpty()) {
            rc = mosquitto_username_pw_set(
                mosq_, settings_.user.toUtf8().constData(),
                settings_.password.isEmpty() ? nullptr : settings_.password.constData());
        }
        if (rc == MOSQ_ERR_SUCCESS && !settings_.tlsCaFile.isEmpty()) {
            rc = mosquitto_tls_set(mosq_, settings_.tlsCaFile.toLocal8Bit().constData(), nullptr,
                                   nullptr, nullptr, nullptr);
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            error = QStringLiteral("cannot set up the MQTT client: %1").arg(Reason(rc));
        }
    }
    if (!error.isEmpty()) {
        state_ = State::Stopped;
        QTimer::singleShot(0, this, [this, error] { emit disconnected(error, -1); });
        return;
    }
    state_ = State::Waiting;
    misc_.start();
    QTimer::singleShot(0, this, &MqttClient::Attempt);
}

void MqttClient::Attempt() {
    if (state_ != State::Waiting) {
        return;
    }
    state_ = State::Connecting;
    lastFailure_.clear();
    inLibrary_ = true;
    // The first attempt gives the library the broker; later ones reuse it.
    const int rc = everAttempted_
                       ? mosquitto_reconnect_async(mosq_)
                       : mosquitto_connect_async(mosq_, settings_.host.toUtf8().constData(),
                                                 settings_.port, settings_.keepaliveSeconds);
    inLibrary_ = false;
    everAttempted_ = true;
    const QString why = Reason(rc);
    Sync();
    if (rc != MOSQ_ERR_SUCCESS) {
        events_.clear();
        if (rc == MOSQ_ERR_INVAL) {
            state_ = State::Stopped;
            emit disconnected(QStringLiteral("the broker's address is not valid"), -1);
            return;
        }
        return Retry(why);
    }
    Dispatch();
}

void MqttClient::Retry(const QString& why) {
    if (state_ == State::Stopped) {
        emit disconnected(why, -1);
        return;
    }
    const int delay = settings_.backoffMs[std::min(backoffStep_, settings_.backoffMs.size() - 1)];
    ++backoffStep_;
    state_ = State::Waiting;
    retry_.start(delay);
    emit disconnected(why, delay);
}

void MqttClient::Stop() {
    if (state_ == State::Stopped) {
        return;
    }
    const bool wasConnected = state_ == State::Connected;
    state_ = State::Stopped;
    retry_.stop();
    misc_.stop();
    if (mosq_ != nullptr && mosquitto_socket(mosq_) >= 0) {
        inLibrary_ = true;
        mosquitto_disconnect(mosq_);
        // What the socket would not take at once gets one more chance.
        if (mosquitto_want_write(mosq_)) {
            mosquitto_loop_write(mosq_, 1);
        }
        inLibrary_ = false;
    }
    events_.clear();
    Sync();
    if (wasConnected) {
        emit disconnected(QStringLiteral("stopped"), -1);
    }
}

bool MqttClient::Publish(const QString& topic, const QByteArray& payload, int qos, bool retain) {
    if (state_ != State::Connected || inLibrary_) {
        return false;
    }
    const int rc =
        mosquitto_publish(mosq_, nullptr, topic.toUtf8().constData(),
                          static_cast<int>(payload.size()), payload.constData(), qos, retain);
    Sync();
    return rc == MOSQ_ERR_SUCCESS;
}

bool MqttClient::Subscribe(const QString& pattern, int qos) {
    if (state_ != State::Connected || inLibrary_) {
        return false;
    }
    const int rc = mosquitto_subscribe(mosq_, nullptr, pattern.toUtf8().constData(), qos);
    Sync();
    return rc == MOSQ_ERR_SUCCESS;
}

// The callbacks run inside the library: they only take notes.
void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    auto* c = static_cast<MqttClient*>(self);
    Event e;
    e.kind = rc == 0 ? Event::Kind::Connected : Event::Kind::Refused;
    e.text = QString::fromUtf8(mosquitto_connack_string(rc));
    c->events_.push_back(std::move(e));
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    auto* c = static_cast<MqttClient*>(self);
    // The library closes the socket next: nothing may watch it any more.
    c->socketClosed_ = true;
    for (QSocketNotifier* n : {c->reader_, c->writer_}) {
        if (n != nullptr) {
            n->setEnabled(false);
        }
    }
    Event e;
    e.kind = Event::Kind::Disconnected;
    e.text = Reason(rc);
    c->events_.push_back(std::move(e));
}

void MqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* c = static_cast<MqttClient*>(self);
    Event e;
    e.kind = Event::Kind::Message;
    e.topic = QString::fromUtf8(message->topic);
    e.payload = QByteArray(static_cast<const char*>(message->payload), message->payloadlen);
    e.retained = message->retain;
    c->events_.push_back(std::move(e));
}

void MqttClient::Note(int rc) {
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN) {
        lastFailure_ = Reason(rc);
    }
}

void MqttClient::OnReadable() {
    if (inLibrary_ || mosq_ == nullptr) {
        return;
    }
    inLibrary_ = true;
    Note(mosquitto_loop_read(mosq_, 1));
    inLibrary_ = false;
    Sync();
    Dispatch();
}

void MqttClient::OnWritable() {
    if (inLibrary_ || mosq_ == nullptr) {
        return;
    }
    inLibrary_ = true;
    Note(mosquitto_loop_write(mosq_, 1));
    inLibrary_ = false;
    Sync();
    Dispatch();
}

void MqttClient::OnMisc() {
    if (inLibrary_ || mosq_ == nullptr || fd_ < 0) {
        return;
    }
    inLibrary_ = true;
    Note(mosquitto_loop_misc(mosq_));
    inLibrary_ = false;
    Sync();
    Dispatch();
}

void MqttClient::DropNotifiers() {
    for (QSocketNotifier** n : {&reader_, &writer_}) {
        if (*n != nullptr) {
            (*n)->setEnabled(false);
            (*n)->disconnect(this);
            // It may be inside its own signal.
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    fd_ = -1;
}

void MqttClient::Sync() {
    const int fd = mosq_ != nullptr ? mosquitto_socket(mosq_) : -1;
    if (socketClosed_ || fd != fd_) {
        DropNotifiers();
        socketClosed_ = false;
        if (fd >= 0) {
            fd_ = fd;
            reader_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            connect(reader_, &QSocketNotifier::activated, this, &MqttClient::OnReadable);
            writer_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
            connect(writer_, &QSocketNotifier::activated, this, &MqttClient::OnWritable);
        }
    }
    if (writer_ != nullptr) {
        writer_->setEnabled(mosquitto_want_write(mosq_));
    }
    // A socket that went away without a word from the library is a lost
    // connection all the same.
    const bool live = state_ == State::Connecting || state_ == State::Connected;
    const bool noted = std::any_of(events_.begin(), events_.end(), [](const Event& e) {
        return e.kind == Event::Kind::Disconnected;
    });
    if (live && fd < 0 && !noted && !inLibrary_ && everAttempted_) {
        Event e;
        e.kind = Event::Kind::Disconnected;
        e.text =
            lastFailure_.isEmpty() ? QStringLiteral("the connection was closed") : lastFailure_;
        events_.push_back(std::move(e));
    }
}

void MqttClient::Dispatch() {
    while (!events_.empty()) {
        Event e = std::move(events_.front());
        events_.pop_front();
        switch (e.kind) {
        case Event::Kind::Connected:
            if (state_ == State::Connecting) {
                state_ = State::Connected;
                backoffStep_ = 0;
                refusal_.clear();
                emit connected();
            }
            break;
        case Event::Kind::Refused:
            refusal_ = QStringLiteral("the broker refused the connection: %1").arg(e.text);
            break;
        case Event::Kind::Disconnected:
            if (state_ == State::Connecting || state_ == State::Connected) {
                const QString why = refusal_.isEmpty() ? e.text : refusal_;
                refusal_.clear();
                Retry(why);
            }
            break;
        case Event::Kind::Message:
            if (state_ == State::Connected) {
                emit message(e.topic, e.payload, e.retained);
            }
            break;
        }
    }
}

// --- Mqtt ------------------------------------------------------------------------

Mqtt::Mqtt(Bridge& bridge, const MqttOptions& options, Bridge::Log log, QObject* parent)
    : QObject(parent), bridge_(&bridge), options_(options), log_(std::move(log)),
      client_(MqttClient::Settings{
          options.host, options.port, QStringLiteral("quorvel-bridge-") + options.id, options.user,
          options.password, options.tlsCaFile,
          MqttTopic(options.id, QStringLiteral("availability")), QByteArray("offline"),
          options.keepaliveSeconds, options.backoffMs}) {
    connect(&bridge.Session(), &session::Session::changed, this, &Mqtt::OnChanged);
    connect(&client_, &MqttClient::connected, this, &Mqtt::OnConnected);
    connect(&client_, &MqttClient::message, this, &Mqtt::OnMessage);
    connect(&client_, &MqttClient::disconnected, this, [this](const QString& why, int retryMs) {
        const QString broker = QStringLiteral("%1:%2").arg(options_.host).arg(options_.port);
        if (stopping_) {
            log_(QStringLiteral("mqtt: disconnected from %1").arg(broker));
            return;
        }
        const QString what = wasConnected_ ? QStringLiteral("mqtt: lost the broker at %1: %2")
                                           : QStringLiteral("mqtt: no broker at %1: %2");
        wasConnected_ = false;
        log_(retryMs < 0 ? what.arg(broker, why)
                         : (what + QStringLiteral("; trying again in %3 s"))
                               .arg(broker, why, QString::number(retryMs / 1000.0)));
    });
    bridge.AddMetrics(
        [self = QPointer<Mqtt>(this)] { return self ? self->MetricsText() : QByteArray(); });
}

Mqtt::~Mqtt() {
    Stop();
}

void Mqtt::Start() {
    client_.Start();
}

void Mqtt::Stop() {
    stopping_ = true;
    if (client_.Connected()) {
        client_.Publish(Topic(QStringLiteral("availability")), "offline", 1, true);
    }
    client_.Stop();
}

QString Mqtt::Topic(const QString& leaf) const {
    return MqttTopic(options_.id, leaf);
}

void Mqtt::OnConnected() {
    wasConnected_ = true;
    log_(QStringLiteral("mqtt: connected to %1:%2 as %3")
             .arg(options_.host)
             .arg(options_.port)
             .arg(Topic(QString())));
    client_.Subscribe(Topic(QStringLiteral("set/#")), 1);
    client_.Publish(Topic(QStringLiteral("availability")), "online", 1, true);
    // A broker that restarted without persistence lost every retained
    // message: all of them go out again.
    discovery_.clear();
    PublishDiscovery(true);
    PublishState();
}

void Mqtt::OnChanged() {
    PublishDiscovery(false);
    PublishState();
}

void Mqtt::PublishState() {
    if (!client_.Connected() || !bridge_) {
        return;
    }
    client_.Publish(Topic(QStringLiteral("state")),
                    QJsonDocument(bridge_->Session().Document()).toJson(QJsonDocument::Compact), 1,
                    true);
}

void Mqtt::PublishDiscovery(bool all) {
    if (!bridge_) {
        return;
    }
    const QJsonObject state = bridge_->Session().Document();
    const bool linkUp = state[QStringLiteral("link")][QStringLiteral("up")].toBool();
    if (linkUp && (discoveryBasis_.isEmpty() || !SameDiscovery(state, discoveryBasis_))) {
        discoveryBasis_ = state;
        all = all || discovery_.empty();
    } else if (!all || discoveryBasis_.isEmpty()) {
        return; // nothing new, or no model known yet
    }
    if (!client_.Connected()) {
        return;
    }
    for (const DiscoveryMessage& m :
         DiscoveryMessages(discoveryBasis_, options_.id, QStringLiteral(QVC_VERSION))) {
        auto it = discovery_.find(m.topic);
        if (!all && it != discovery_.end() && it->second == m.payload) {
            continue;
        }
        if (client_.Publish(m.topic, m.payload, 1, true)) {
            discovery_[m.topic] = m.payload;
        }
    }
}

void Mqtt::PublishError(const QString& operation, const QString& error) {
    ++errors_;
    client_.Publish(Topic(QStringLiteral("error")),
                    QJsonDocument(ErrorObject(operation, error)).toJson(QJsonDocument::Compact), 1,
                    false);
}

void Mqtt::OnMessage(const QString& topic, const QByteArray& payload, bool retained) {
    const QString prefix = Topic(QStringLiteral("set/"));
    if (!topic.startsWith(prefix) || !bridge_) {
        return;
    }
    ++commands_;
    const QString operation = topic.mid(prefix.size());
    const QString who = QStringLiteral("MQTT %1").arg(topic);
    if (retained) {
        // A retained command would run again at every reconnect.
        log_(QStringLiteral("refused %1: a retained command").arg(who));
        return PublishError(operation, QStringLiteral("a retained command is not run: publish "
                                                      "commands without the retain flag"));
    }
    if (!MqttOperations().contains(operation)) {
        log_(QStringLiteral("refused %1: no such operation").arg(who));
        return PublishError(operation,
                            QStringLiteral("there is no operation \"%1\"; the operations are %2")
                                .arg(operation, MqttOperations().join(QStringLiteral(", "))));
    }
    auto mapped = MapRequest("POST", QStringLiteral("/api/v1/") + operation, payload);
    if (const HttpError* e = std::get_if<HttpError>(&mapped)) {
        log_(QStringLiteral("refused %1: %2").arg(who, e->text));
        return PublishError(operation, e->text);
    }
    bridge_->Submit(std::get<Call>(std::move(mapped)), who,
                    [self = QPointer<Mqtt>(this), operation](int status, const QJsonObject& body) {
                        if (self && status != 200) {
                            self->PublishError(operation, body[QStringLiteral("error")].toString());
                        }
                    });
}

QByteArray Mqtt::MetricsText() const {
    return "# HELP quorvel_mqtt_connected Whether the bridge is connected to the MQTT broker.\n"
           "# TYPE quorvel_mqtt_connected gauge\n"
           "quorvel_mqtt_connected " +
           QByteArray(client_.Connected() ? "1" : "0") +
           "\n# HELP quorvel_mqtt_commands_total Commands taken from MQTT.\n"
           "# TYPE quorvel_mqtt_commands_total counter\n"
           "quorvel_mqtt_commands_total " +
           QByteArray::number(commands_) +
           "\n# HELP quorvel_mqtt_errors_total Refusals and failures published on the error "
           "topic.\n"
           "# TYPE quorvel_mqtt_errors_total counter\n"
           "quorvel_mqtt_errors_total " +
           QByteArray::number(errors_) + '\n';
}

} // namespace qvc::bridge
