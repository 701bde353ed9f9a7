// quorvel-bridge's command line: the link, where it listens, the token, the
// configuration file, the poll and the MQTT broker. Everything is checked
// before anything is opened; a mistake is one line for standard error and
// exit code 2.
#pragma once

#include "bridge/HttpServer.h"
#include "link/LinkTimings.h"
#include "session/LinkTarget.h"

#include <QHostAddress>
#include <QStringList>
#include <optional>
#include <vector>

namespace qvc::bridge {

// The MQTT broker and how the bridge names itself there. No host: no MQTT.
struct MqttOptions {
    QString host;
    quint16 port = 1883; // 8883 by default with a CA file (TLS)
    QString id;          // quorvel/<id>/...: letters, digits, '-' and '_'
    QString user;
    QByteArray password; // the first line of --mqtt-password-file
    QString tlsCaFile;   // TLS with the broker's certificate checked against it
    // The waits before each new attempt while the broker cannot be reached,
    // in milliseconds; the last repeats.
    std::vector<int> backoffMs = {1000, 2000, 4000, 8000, 16000, 30000};
    int keepaliveSeconds = 30;

    bool Enabled() const { return !host.isEmpty(); }
};

struct Options {
    session::LinkTarget target;
    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 listenPort = 8023;
    QByteArray token; // empty: no token needed (loopback only)
    QString configFile;
    int pollSeconds = 10; // 0: no poll
    LinkTimings timings = LinkTimings::Production();
    // The back-off after a lost link, in seconds; the last repeats.
    std::vector<int> backoff = {1, 2, 4, 8, 16, 30};
    HttpLimits limits;
    MqttOptions mqtt;
    // The switcher's own protocol for other controllers (--switcher-port):
    // no port, none. Loopback unless an address was given.
    std::optional<quint16> switcherPort;
    QHostAddress switcherAddress = QHostAddress(QHostAddress::LocalHost);
};

struct ParsedOptions {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    Options options;
    QString text; // the help, or the one-line error
};

// `args` without the program name.
ParsedOptions ParseOptions(const QStringList& args, quint16 defaultTcpPort = 23);

// The token file's first line; false with `error` set when it cannot be
// read, is empty, or others may read or write it.
bool ReadTokenFile(const QString& path, QByteArray& token, QString& error);

// A secret's file under the token file's rules; `what` names it in the error
// ("token file", "password file").
bool ReadSecretFile(const QString& path, const QString& what, QByteArray& secret, QString& error);

// An MQTT id: 1 to 64 letters, digits, '-' and '_' (it becomes a topic level).
bool ValidMqttId(const QString& id);

} // namespace qvc::bridge
