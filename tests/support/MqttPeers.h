// Debian's Mosquitto broker on a free loopback port, run by its owner and
// stopped by it, and a probe that subscribes to it with the bridge's own
// event-loop client and keeps every message with the time it came. The MQTT
// tests and the benchmark use them.
#pragma once

#include "bridge/Mqtt.h"
#include "tests/support/WaitFor.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <map>
#include <vector>

namespace qvc::test {

inline qint64 NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class Broker {
  public:
    Broker() = default;
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;
    ~Broker() { Stop(); }

    // Lines added to the listener's configuration (TLS).
    void Configure(const QString& lines) { extra_ = lines; }

    // Starts the broker (on the port it had before, after a Stop) and waits
    // until it takes connections. Retained messages live only as long as
    // the process: persistence is off.
    bool Start() {
        if (port_ == 0) {
            QTcpServer free;
            if (!free.listen(QHostAddress::LocalHost, 0)) {
                return false;
            }
            port_ = free.serverPort();
        }
        const QString config = dir_.filePath(QStringLiteral("mosquitto.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
        file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                  "persistence false\nlog_dest stderr\nlog_type error\n"
                                  "log_type warning\nset_tcp_nodelay true\n")
                       .arg(port_)
                       .toLatin1() +
                   extra_.toLatin1());
        file.close();
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("/usr/sbin/mosquitto"), {QStringLiteral("-c"), config});
        if (!process_.waitForStarted(10000)) {
            return false;
        }
        return WaitFor([&] {
                   if (process_.state() != QProcess::Running) {
                       return true;
                   }
                   QTcpSocket socket;
                   socket.connectToHost(QHostAddress::LocalHost, port_);
                   return socket.waitForConnected(200);
               }) &&
               process_.state() == QProcess::Running;
    }

    void Stop() {
        if (process_.state() == QProcess::NotRunning) {
            return;
        }
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

    quint16 Port() const { return port_; }

  private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString extra_;
};

// A subscriber. It subscribes again after every reconnect; Ready() says the
// broker has taken its subscriptions (a message it sent itself came back).
class Probe {
  public:
    struct Message {
        QString topic;
        QByteArray payload;
        bool retained = false;
        qint64 ns = 0;
    };

    Probe(quint16 port, const QString& name, QStringList patterns, const QString& tlsCaFile = {})
        : name_(name), patterns_(std::move(patterns)), client_(Settings(port, name, tlsCaFile)) {
        QObject::connect(&client_, &bridge::MqttClient::connected, [this] {
            ready_ = false;
            for (const QString& p : patterns_ + QStringList{Mark()}) {
                client_.Subscribe(p, 1);
            }
            client_.Publish(Mark(), "ready", 1, false);
        });
        QObject::connect(&client_, &bridge::MqttClient::message,
                         [this](const QString& topic, const QByteArray& payload, bool retained) {
                             if (topic == Mark()) {
                                 ready_ = true;
                                 return;
                             }
                             messages.push_back({topic, payload, retained, NowNs()});
                         });
        client_.Start();
    }

    bool Ready() const { return ready_ && client_.Connected(); }
    bool WaitReady() {
        return WaitFor([&] { return Ready(); });
    }
    bool Publish(const QString& topic, const QByteArray& payload, bool retain = false) {
        return client_.Publish(topic, payload, 1, retain);
    }
    void Clear() { messages.clear(); }

    // The last message on `topic`, or null.
    const Message* Last(const QString& topic) const {
        const auto it = std::find_if(messages.rbegin(), messages.rend(),
                                     [&](const Message& m) { return m.topic == topic; });
        return it == messages.rend() ? nullptr : &*it;
    }
    const QJsonObject Json(const QString& topic) const {
        const Message* m = Last(topic);
        return m == nullptr ? QJsonObject() : QJsonDocument::fromJson(m->payload).object();
    }
    int Count(const QString& topic) const {
        return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                              [&](const Message& m) { return m.topic == topic; }));
    }
    // Each topic's last payload, where it is not empty (an empty one
    // removes a retained message): what a new subscriber would get.
    std::map<QString, QByteArray> Retained(const QString& prefix) const {
        std::map<QString, QByteArray> out;
        for (const Message& m : messages) {
            if (!m.topic.startsWith(prefix)) {
                continue;
            }
            if (m.payload.isEmpty()) {
                out.erase(m.topic);
            } else {
                out[m.topic] = m.payload;
            }
        }
        return out;
    }

    std::vector<Message> messages;

  private:
    static bridge::MqttClient::Settings Settings(quint16 port, const QString& name,
                                                 const QString& tlsCaFile) {
        bridge::MqttClient::Settings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = port;
        s.clientId = name;
        s.tlsCaFile = tlsCaFile;
        s.backoffMs = {50, 100, 200};
        return s;
    }
    QString Mark() const { return QStringLiteral("quorvel-test/%1/ready").arg(name_); }

    QString name_;
    QStringList patterns_;
    bool ready_ = false;
    bridge::MqttClient client_;
};

} // namespace qvc::test
