#include "Options.h"

#include "session/LinkOptions.h"
#include "session/Operations.h"

#include <QCommandLineParser>
#include <QFile>
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

// ADDRESS:PORT, with [v6]:PORT for IPv6.
bool ListenAddress(const QString& value, Options& o, QString& error) {
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    QString host = colon < 0 ? QString() : value.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    }
    bool ok = false;
    const int port = value.mid(colon + 1).toInt(&ok);
    if (colon < 0 || !o.listenAddress.setAddress(host) || !ok || port < 0 || port > 65535) {
        error = QStringLiteral("--listen takes ADDRESS:PORT, such as 127.0.0.1:8023, not \"%1\"")
                    .arg(value);
        return false;
    }
    o.listenPort = static_cast<quint16>(port);
    return true;
}

} // namespace

bool ReadTokenFile(const QString& path, QByteArray& token, QString& error) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        error = QStringLiteral("cannot read the token file %1").arg(path);
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        error = QStringLiteral("the token file %1 may be read or written by others: "
                               "chmod 600 it")
                    .arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the token file %1").arg(path);
        return false;
    }
    token = file.readLine(4096).trimmed();
    if (token.isEmpty()) {
        error = QStringLiteral("the token file %1 holds no token").arg(path);
        return false;
    }
    return true;
}

ParsedOptions ParseOptions(const QStringList& args, quint16 defaultTcpPort) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Holds the link to a Quorvel matrix switcher and opens it to the network: "
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
    const QCommandLineOption poll(
        QStringLiteral("poll"),
        QStringLiteral("Resyncs while idle every SECONDS (10; 0 never)."), QStringLiteral("SECONDS"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the version."));
    parser.addOptions({listen, tokenFile, config, poll, help, version});
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
        (parser.isSet(tokenFile) && !ReadTokenFile(parser.value(tokenFile), o.token, error))) {
        return Fail(error);
    }
    if (parser.isSet(poll)) {
        bool ok = false;
        o.pollSeconds = parser.value(poll).toInt(&ok);
        if (!ok || o.pollSeconds < 0 || o.pollSeconds > 86400) {
            return Fail(session::RangeErrorText(QStringLiteral("--poll"), 0, 86400,
                                                parser.value(poll)));
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
