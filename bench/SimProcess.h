// The simulator as a child process (quorvel-sim), with its pty and TCP port.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <vector>

namespace qvc::bench {

class SimProcess {
  public:
    // Starts `program` with `arguments` plus --pty <ptyPath> and --tcp 0 and
    // waits until it reports both endpoints.
    SimProcess(const QString& program, const QString& ptyPath, const QStringList& arguments);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ready() const { return ready_; }
    QString Error() const { return error_; }
    QString PtyPath() const { return ptyPath_; }
    quint16 TcpPort() const { return tcpPort_; }

  private:
    QProcess process_;
    QString ptyPath_;
    quint16 tcpPort_ = 0;
    bool ready_ = false;
    QString error_;
};

// A line the simulator logged (its --log FILE): when, in wall-clock
// milliseconds since the epoch, and what.
struct LoggedLine {
    long long ms = 0;
    QString text;
};
std::vector<LoggedLine> ReadSimLog(const QString& path);
// The logged lines that start with `prefix`, stamped from `fromMs` to `toMs`.
int CountLogged(const std::vector<LoggedLine>& log, const QString& prefix, long long fromMs,
                long long toMs);

} // namespace qvc::bench
