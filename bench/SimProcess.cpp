#include "SimProcess.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>

namespace qvc::bench {

namespace {

constexpr int kStartMs = 10000;
constexpr const char* kTcpLinePrefix = "listening on tcp ";
constexpr const char* kPtyLinePrefix = "pty ";

} // namespace

SimProcess::SimProcess(const QString& program, const QString& ptyPath, const QStringList& arguments)
    : ptyPath_(ptyPath) {
    QStringList all = arguments;
    all << "--pty" << ptyPath << "--tcp"
        << "0";
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(program, all);
    if (!process_.waitForStarted(kStartMs)) {
        error_ = "cannot start " + program + ": " + process_.errorString();
        return;
    }
    bool tcpSeen = false;
    bool ptySeen = false;
    QElapsedTimer clock;
    clock.start();
    while (!(tcpSeen && ptySeen) && clock.elapsed() < kStartMs) {
        if (!process_.canReadLine() &&
            !process_.waitForReadyRead(static_cast<int>(kStartMs - clock.elapsed()))) {
            break;
        }
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).trimmed();
            if (line.startsWith(kTcpLinePrefix)) {
                tcpPort_ = static_cast<quint16>(line.section(':', -1).toUInt());
                tcpSeen = tcpPort_ != 0;
            } else if (line.startsWith(kPtyLinePrefix)) {
                ptySeen = true;
            }
        }
    }
    ready_ = tcpSeen && ptySeen;
    if (!ready_) {
        error_ = "the simulator did not report its endpoints: " +
                 QString::fromUtf8(process_.readAllStandardError());
    }
}

SimProcess::~SimProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

std::vector<LoggedLine> ReadSimLog(const QString& path) {
    std::vector<LoggedLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return lines;
    }
    // "2024-01-31T12:00:00.123 LINE", the stamp in local time.
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const qsizetype space = raw.indexOf(' ');
        if (space <= 0) {
            continue;
        }
        const QDateTime stamp =
            QDateTime::fromString(QString::fromLatin1(raw.left(space)), Qt::ISODateWithMs);
        if (stamp.isValid()) {
            lines.push_back({stamp.toMSecsSinceEpoch(), QString::fromLatin1(raw.mid(space + 1))});
        }
    }
    return lines;
}

int CountLogged(const std::vector<LoggedLine>& log, const QString& prefix, long long fromMs,
                long long toMs) {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const LoggedLine& l) {
        return l.ms >= fromMs && l.ms <= toMs && l.text.startsWith(prefix);
    }));
}

} // namespace qvc::bench
