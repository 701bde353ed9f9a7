// MQTT for the bridge: the state document retained on quorvel/<id>/state,
// online/offline on quorvel/<id>/availability (offline as the last will),
// commands from quorvel/<id>/set/<operation>, refusals on quorvel/<id>/error,
// and Home Assistant's discovery documents (see Discovery.h).
//
// Why the client runs on the Qt event loop and not on a thread of its own:
// the bridge is one thread by design. Its session, its queue of calls for
// the link and its mirror are touched from that thread only, and every
// front (HTTP, WebSocket, the switcher port) hands its calls to
// Bridge::Submit there. libmosquitto's own thread (mosquitto_loop_start)
// would run our callbacks beside that thread, so every command and every
// revision would have to cross threads, with locks or queued signals and a
// second place where shutdown can go wrong. Driving the library from the
// event loop instead costs little: its socket is non-blocking, so a
// QSocketNotifier reads when the broker sent something and writes while
// libmosquitto has bytes queued (mosquitto_want_write), a one-second timer
// runs its keep-alive (mosquitto_loop_misc), and our own timer does the
// reconnect back-off (mosquitto_connect_async, then
// mosquitto_reconnect_async). A broker that is slow or gone never blocks
// the loop: HTTP keeps answering. The one blocking step is the name lookup
// at each connection attempt (an address given as a number needs none).
// The library's callbacks only note what happened; the notes are acted on
// once the library call has returned, so none of our code runs inside it
// and nothing re-enters it.
#pragma once

#include "bridge/Bridge.h"
#include "bridge/Options.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>

struct mosquitto;
struct mosquitto_message;

namespace qvc::bridge {

// One connection to a broker, kept up: a failed attempt or a lost
// connection is retried after the back-off (the last wait repeats) until
// Stop. MQTT 3.1.1, a clean session, TCP_NODELAY.
class MqttClient : public QObject {
    Q_OBJECT
  public:
    struct Settings {
        QString host;
        quint16 port = 1883;
        QString clientId;
        QString user;
        QByteArray password;
        QString tlsCaFile; // empty: no TLS
        QString willTopic; // empty: no last will
        QByteArray willPayload;
        int keepaliveSeconds = 30;
        std::vector<int> backoffMs = {1000, 2000, 4000, 8000, 16000, 30000};
    };
    explicit MqttClient(Settings settings, QObject* parent = nullptr);
    ~MqttClient() override;

    // The first attempt, from the event loop.
    void Start();
    // Disconnects cleanly (the broker then drops the last will) and makes no
    // more attempts. Whatever was published before goes out first.
    void Stop();
    bool Connected() const { return state_ == State::Connected; }

    // False when not connected or the library refused it.
    bool Publish(const QString& topic, const QByteArray& payload, int qos, bool retain);
    bool Subscribe(const QString& pattern, int qos);

    const Settings& Configured() const { return settings_; }

  signals:
    void connected();
    // An attempt failed or the connection was lost; the next attempt is in
    // `retryMs` (-1: stopped, none).
    void disconnected(const QString& why, int retryMs);
    void message(const QString& topic, const QByteArray& payload, bool retained);

  private:
    enum class State { Idle, Connecting, Connected, Waiting, Stopped };
    struct Event {
        enum class Kind { Connected, Refused, Disconnected, Message };
        Kind kind = Kind::Connected;
        QString text; // Refused, Disconnected: why
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    void Attempt();
    void Retry(const QString& why);
    void Note(int rc); // a loop call's result
    void OnReadable();
    void OnWritable();
    void OnMisc();
    // After every library call: the notifiers follow the library's socket
    // (read always, write while it has bytes queued), then the noted events
    // are acted on.
    void Sync();
    void Dispatch();
    void DropNotifiers();

    Settings settings_;
    mosquitto* mosq_ = nullptr;
    State state_ = State::Idle;
    bool everAttempted_ = false;
    bool inLibrary_ = false;
    bool socketClosed_ = false; // the library closed (or is closing) its socket
    int fd_ = -1;
    QSocketNotifier* reader_ = nullptr;
    QSocketNotifier* writer_ = nullptr;
    QTimer misc_;
    QTimer retry_;
    std::size_t backoffStep_ = 0;
    QString refusal_;     // why the broker refused the last attempt
    QString lastFailure_; // why the last loop call of this attempt failed
    std::deque<Event> events_;
};

// The bridge's MQTT front: publishes what the session holds and hands the
// commands it takes to Bridge::Submit, as HTTP does.
class Mqtt : public QObject {
    Q_OBJECT
  public:
    Mqtt(Bridge& bridge, const MqttOptions& options, Bridge::Log log, QObject* parent = nullptr);
    ~Mqtt() override;

    void Start();
    // "offline" on the availability topic, then a clean disconnect.
    void Stop();
    bool Connected() const { return client_.Connected(); }

  private:
    void OnConnected();
    void OnMessage(const QString& topic, const QByteArray& payload, bool retained);
    void OnChanged();
    void PublishState();
    void PublishDiscovery(bool all);
    void PublishError(const QString& operation, const QString& error);
    QByteArray MetricsText() const;
    QString Topic(const QString& leaf) const;

    QPointer<Bridge> bridge_;
    MqttOptions options_;
    Bridge::Log log_;
    MqttClient client_;
    // The last state document of a link that was up: what the discovery is
    // made from, kept while the link is down.
    QJsonObject discoveryBasis_;
    std::map<QString, QByteArray> discovery_; // published on this connection
    bool wasConnected_ = false;
    bool stopping_ = false;
    long long commands_ = 0;
    long long errors_ = 0;
};

} // namespace qvc::bridge
