// quorvel-bridge's command line: the link, where it listens, the token, the
// configuration file and the poll. Everything is checked before anything is
// opened; a mistake is one line for standard error and exit code 2.
#pragma once

#include "bridge/HttpServer.h"
#include "link/LinkTimings.h"
#include "session/LinkTarget.h"

#include <QHostAddress>
#include <QStringList>

namespace qvc::bridge {

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

} // namespace qvc::bridge
