#include "Options.h"

#include "session/LinkOptions.h"
#include "session/Operations.h"

#include <QCommandLineParser>
#include <QFile>
#include <algorithm>
#include <sys/stat.h>

namespace qvc::bridge {

namespace {

ParsedOptions Fail(const QString& text) {
    ParsedOptions p;
    p.action = ParsedOptions::Action::Error;
    p.text = text;
    return p;
}

bool Loopback(const QHostAddress& address) {
    return address.isLoopback();
}

// [ADDRESS:]PORT split at its last colon, with [v6]:PORT for IPv6: the
// address (empty without a colon) and the port, or -1 when it is no number.
struct HostAndPort {
    bool hasHost = false;
    QString host;
    int port = -1;
};
HostAndPort SplitAtPort(const QString& value) {
    HostAndPort out;
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    out.hasHost = colon >= 0;
    out.host = colon < 0 ? QString() : value.left(colon);
    if (out.host.startsWith(QLatin1Char('[')) && out.host.endsWith(QLatin1Char(']'))) {
        out.host = out.host.mid(1, out.host.size() - 2);
    }
    bool ok = false;
    const int port = value.mid(colon + 1).toInt(&ok);
    out.port = ok ? port : -1;
    return out;
}

// ADDRESS:PORT, with [v6]:PORT for IPv6.
bool ListenAddress(const QString& value, Options& o, QString& error) {
    const HostAndPort split = SplitAtPort(value);
    const int port = split.port;
    if (!split.hasHost || !o.listenAddress.setAddress(split.host) || port < 0 || port > 65535) {
        error = QStringLiteral("--listen takes ADDRESS:PORT, such as 127.0.0.1:8023, not \"%1\"")
                    .arg(value);
        return false;
    }
    o.listenPort = static_cast<quint16>(port);
    return true;
}

// [ADDRESS:]PORT, with [v6]:PORT for IPv6; loopback without an address.
bool SwitcherAddress(const QString& value, Options& o, QString& error) {
    const HostAndPort split = SplitAtPort(value);
    const int port = split.port;
    QHostAddress address(QHostAddress::LocalHost);
    if ((split.hasHost && !address.setAddress(split.host)) || port < 1 || port > 65535) {
        error = QStringLiteral("--switcher-port takes [ADDRESS:]PORT, such as 2323 or "
                               "0.0.0.0:23, not \"%1\"")
                    .arg(value);
        return false;
    }
    o.switcherAddress = address;
    o.switcherPort = static_cast<quint16>(port);
    return true;
}

// HOST[:PORT], with [v6]:PORT for IPv6; an address with more than one colon
// and no brackets is an IPv6 address without a port.
bool BrokerAddress(const QString& value, MqttOptions& m, QString& error) {
    QString host = value;
    QString port;
    if (value.startsWith(QLatin1Char('['))) {
        const qsizetype close = value.indexOf(QLatin1Char(']'));
        host = close < 0 ? QString() : value.mid(1, close - 1);
        const QString rest = close < 0 ? QString() : value.mid(close + 1);
        if (!rest.isEmpty()) {
            port = rest.startsWith(QLatin1Char(':')) ? rest.mid(1) : QStringLiteral("x");
        }
    } else if (value.count(QLatin1Char(':')) == 1) {
        host = value.section(QLatin1Char(':'), 0, 0);
        port = value.section(QLatin1Char(':'), 1);
    }
    bool ok = true;
    const int number = port.isEmpty() ? 0 : port.toInt(&ok);
    if (host.isEmpty() || host.contains(QLatin1Char(' ')) || !ok || number < 0 || number > 65535 ||
        (!port.isEmpty() && number == 0)) {
        error = QStringLiteral("--mqtt takes HOST[:PORT], such as broker.example.org:1883, "
                               "not \"%1\"")
                    .arg(value);
        return false;
    }
    m.host = host;
    m.port = static_cast<quint16>(number);
    return true;
}

// The MQTT options, checked together: the id with the broker, the password
// with the user, the CA file readable.
bool MqttFromOptions(const QCommandLineParser& parser, const QCommandLineOption& broker,
                     const QCommandLineOption& id, const QCommandLineOption& user,
                     const QCommandLineOption& passwordFile, const QCommandLineOption& tlsCa,
                     MqttOptions& m, QString& error) {
    if (!parser.isSet(broker)) {
        for (const QCommandLineOption* o : {&id, &user, &passwordFile, &tlsCa}) {
            if (parser.isSet(*o)) {
                error = QStringLiteral("--%1 needs --mqtt HOST").arg(o->names().first());
                return false;
            }
        }
        return true;
    }
    if (!BrokerAddress(parser.value(broker), m, error)) {
        return false;
    }
    if (!parser.isSet(id)) {
        error = QStringLiteral("--mqtt needs --mqtt-id NAME, the name of this switcher in the "
                               "topics");
        return false;
    }
    m.id = parser.value(id);
    if (!ValidMqttId(m.id)) {
        error = QStringLiteral("--mqtt-id takes 1 to 64 letters, digits, - and _, not \"%1\"")
                    .arg(m.id);
        return false;
    }
    if (parser.isSet(passwordFile) && !parser.isSet(user)) {
        error = QStringLiteral("--mqtt-password-file needs --mqtt-user");
        return false;
    }
    m.user = parser.value(user);
    if (parser.isSet(passwordFile) &&
        !ReadSecretFile(parser.value(passwordFile), QStringLiteral("password file"), m.password,
                        error)) {
        return false;
    }
    if (parser.isSet(tlsCa)) {
        m.tlsCaFile = parser.value(tlsCa);
        QFile file(m.tlsCaFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read the CA file %1").arg(m.tlsCaFile);
            return false;
        }
    }
    if (m.port == 0) {
        m.port = m.tlsCaFile.isEmpty() ? 1883 : 8883;
    }
    return true;
}

} // namespace

bool ReadSecretFile(const QString& path, const QString& what, QByteArray& secret, QString& error) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        error = QStringLiteral("cannot read the %1 %2").arg(what, path);
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        error = QStringLiteral("the %1 %2 may be read or written by others: "
                               "chmod 600 it")
                    .arg(what, path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the %1 %2").arg(what, path);
        return false;
    }
    secret = file.readLine(4096).trimmed();
    if (secret.isEmpty()) {
        error = QStringLiteral("the %1 %2 holds no %3")
                    .arg(what, path, what.section(QLatin1Char(' '), 0, 0));
        return false;
    }
    return true;
}

bool ReadTokenFile(const QString& path, QByteArray& token, QString& error) {
    return ReadSecretFile(path, QStringLiteral("token file"), token, error);
}

bool ValidMqttId(const QString& id) {
    return !id.isEmpty() && id.size() <= 64 && std::all_of(id.begin(), id.end(), [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
               (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
               c == QLatin1Char('_');
    });
}

ParsedOptions ParseOptions(const QStringList& args, quint16 defaultTcpPort) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Holds the link to a Quorvel matrix switcher and opens it to the network: "
                       "an HTTP and WebSocket API for room control, show control and tablets."));
    session::AddLinkOptions(parser);
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Serves HTTP and WebSocket on ADDRESS:PORT "
                                                   "(127.0.0.1:8023)."),
                                    QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption tokenFile(
        QStringLiteral("token-file"),
        QStringLiteral("Requires the bearer token in FILE (mode 600); needed beyond loopback."),
        QStringLiteral("FILE"));
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("Serves the labels of the configuration FILE and saves edits to it."),
        QStringLiteral("FILE"));
    const QCommandLineOption poll(QStringLiteral("poll"),
                                  QStringLiteral("Resyncs while idle every SECONDS (10; 0 never)."),
                                  QStringLiteral("SECONDS"));
    const QCommandLineOption mqtt(
        QStringLiteral("mqtt"),
        QStringLiteral("Publishes the state to the MQTT broker at HOST[:PORT] (1883) and takes "
                       "commands from it."),
        QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption mqttId(
        QStringLiteral("mqtt-id"),
        QStringLiteral("Names this switcher in the topics quorvel/NAME/... (letters, digits, "
                       "- and _); required with --mqtt."),
        QStringLiteral("NAME"));
    const QCommandLineOption mqttUser(QStringLiteral("mqtt-user"),
                                      QStringLiteral("Logs in to the broker as USER."),
                                      QStringLiteral("USER"));
    const QCommandLineOption mqttPassword(
        QStringLiteral("mqtt-password-file"),
        QStringLiteral("Logs in with the password in FILE (mode 600)."), QStringLiteral("FILE"));
    const QCommandLineOption mqttTlsCa(
        QStringLiteral("mqtt-tls-ca"),
        QStringLiteral("Speaks TLS to the broker (port 8883 unless given) and checks its "
                       "certificate against the CA certificates in FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption switcherPort(
        QStringLiteral("switcher-port"),
        QStringLiteral("Serves the switcher's own line protocol on TCP [ADDRESS:]PORT (loopback "
                       "unless an address is given) for other controllers: the desktop program "
                       "in Ethernet mode, quorvel-ctl --tcp."),
        QStringLiteral("[ADDRESS:]PORT"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the version."));
    parser.addOptions({listen, tokenFile, config, poll, mqtt, mqttId, mqttUser, mqttPassword,
                       mqttTlsCa, switcherPort, help, version});
    if (!parser.parse(QStringList{QStringLiteral("quorvel-bridge")} + args)) {
        return Fail(parser.errorText());
    }
    ParsedOptions parsed;
    if (parser.isSet(help)) {
        parsed.action = ParsedOptions::Action::Help;
        parsed.text = parser.helpText();
        return parsed;
    }
    if (parser.isSet(version)) {
        parsed.action = ParsedOptions::Action::Version;
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Fail(QStringLiteral("unexpected argument \"%1\"; see --help")
                        .arg(parser.positionalArguments().first()));
    }
    Options& o = parsed.options;
    QString error;
    if (!session::TargetFromOptions(parser, defaultTcpPort, o.target, error) ||
        (parser.isSet(listen) && !ListenAddress(parser.value(listen), o, error)) ||
        (parser.isSet(tokenFile) && !ReadTokenFile(parser.value(tokenFile), o.token, error)) ||
        !MqttFromOptions(parser, mqtt, mqttId, mqttUser, mqttPassword, mqttTlsCa, o.mqtt, error) ||
        (parser.isSet(switcherPort) && !SwitcherAddress(parser.value(switcherPort), o, error))) {
        return Fail(error);
    }
    if (parser.isSet(poll)) {
        bool ok = false;
        o.pollSeconds = parser.value(poll).toInt(&ok);
        if (!ok || o.pollSeconds < 0 || o.pollSeconds > 86400) {
            return Fail(
                session::RangeErrorText(QStringLiteral("--poll"), 0, 86400, parser.value(poll)));
        }
    }
    if (!Loopback(o.listenAddress) && o.token.isEmpty()) {
        return Fail(QStringLiteral("listening on %1 needs --token-file: only loopback is "
                                   "served without a token")
                        .arg(o.listenAddress.toString()));
    }
    o.configFile = parser.value(config);
    return parsed;
}

} // namespace qvc::bridge
