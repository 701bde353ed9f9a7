// quorvel-bridge's measurements: the bridge in a child process with its link
// over TCP to the demo 16 x 16 simulator (another child) and the poll off,
// every client in this process on loopback.
//
//   - POST /api/v1/route with take on one keep-alive connection, from the
//     request to the answer (which comes after the switcher acknowledged the
//     last line), beside quorvel-ctl doing the same as a process per command
//     against a simulator of its own (the simulator takes one client at a
//     time);
//   - GET /api/v1/state from 16 keep-alive connections at once (plain sockets
//     and poll()): answers per second and the 99th percentile latency, with
//     the bridge's CPU per request beside that of a request answered 404,
//     which builds no document;
//   - a route pushed to 100 WebSocket clients of /api/v1/events, from the
//     route's answer to the last client's message of that revision;
//   - the bridge's resident memory with those clients connected, and its CPU
//     time over 5 s of idleness;
//   - bridge-switcher-port: a controller on the switcher port (a DeviceLink
//     with the production waits, in this process) against the same
//     controller on the simulator itself: a command's round trip, with the
//     bridge's link on TCP and on the pty, and a full read-back.
#include "Bench.h"
#include "SimProcess.h"
#include "link/DeviceLink.h"
#include "link/ReadBack.h"
#include "model/DeviceState.h"
#include "protocol/Commands.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qvc::bench {

namespace {

constexpr int kStartMs = 20000;  // from the bridge's start to its link read back
constexpr int kAnswerMs = 10000; // the longest wait for any one answer or message
constexpr int kRouteWarmUp = 4;
constexpr int kRouteRequests = 200;
constexpr int kCtlWarmUp = 2;
constexpr int kCtlRuns = 20;
constexpr int kCtlMs = 60000;
constexpr int kStateConnections = 16;
constexpr int kStateWarmUpMs = 300;
constexpr int kStateMs = 3000;
constexpr int kBaselineMs = 1000; // the same load on a path that answers 404
constexpr int kWebSocketClients = 100;
constexpr int kPushWarmUp = 2;
constexpr int kPushRoutes = 50;
constexpr int kIdleMs = 5000;

constexpr double kRouteTargetMedianMs = 5;
constexpr double kStateTargetPerSecond = 5000;
constexpr double kStateTargetP99Ms = 10;
constexpr double kPushTargetP99Ms = 20;
constexpr double kResidentTargetMb = 40;
constexpr double kIdleCpuTargetPercent = 0;

constexpr int kRoutedOutput = 9;
constexpr int kInputA = 5; // routes alternate between two inputs, so that every
constexpr int kInputB = 6; // one changes the output and sends its lines

const QStringList kDemo = {"--model", "3", "--demo"};

std::string Line(const char* format, auto... values) {
    char line[400];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

const char* Verdict(bool met) {
    return met ? "met" : "missed";
}

double NowUs() {
    return std::chrono::duration<double, std::micro>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// --- HTTP/1.1 on the client side ------------------------------------------------

struct HttpAnswer {
    int status = 0;
    QByteArray body;
};

// Splits a connection's bytes into answers by their Content-Length.
class AnswerReader {
  public:
    void Add(const char* data, qsizetype n) { buffer_.append(data, n); }
    void Add(const QByteArray& bytes) { buffer_.append(bytes); }
    bool Broken() const { return broken_; }

    // The next whole answer, if there is one; a malformed head sets Broken().
    bool Next(HttpAnswer& answer) {
        const qsizetype headEnd = buffer_.indexOf("\r\n\r\n");
        if (headEnd < 0 || broken_) {
            return false;
        }
        const QByteArrayView head(buffer_.constData(), headEnd);
        const qsizetype firstEnd = head.indexOf("\r\n");
        const QByteArrayView statusLine = firstEnd < 0 ? head : head.first(firstEnd);
        bool statusOk = false;
        const int status = statusLine.startsWith("HTTP/1.") && statusLine.size() >= 12
                               ? statusLine.sliced(9, 3).toInt(&statusOk)
                               : 0;
        qsizetype length = -1;
        qsizetype at = firstEnd < 0 ? head.size() : firstEnd + 2;
        while (at < head.size()) {
            qsizetype end = head.indexOf("\r\n", at);
            if (end < 0) {
                end = head.size();
            }
            const QByteArrayView field = head.sliced(at, end - at);
            const qsizetype colon = field.indexOf(':');
            if (colon > 0 &&
                field.first(colon).trimmed().compare("Content-Length", Qt::CaseInsensitive) == 0) {
                bool ok = false;
                length = field.sliced(colon + 1).trimmed().toLongLong(&ok);
                if (!ok) {
                    length = -1;
                }
            }
            at = end + 2;
        }
        if (!statusOk || length < 0) {
            broken_ = true;
            return false;
        }
        if (buffer_.size() < headEnd + 4 + length) {
            return false;
        }
        answer.status = status;
        answer.body = buffer_.mid(headEnd + 4, length);
        buffer_.remove(0, headEnd + 4 + length);
        return true;
    }

  private:
    QByteArray buffer_;
    bool broken_ = false;
};

QByteArray Request(const QByteArray& method, const QByteArray& path, quint16 port,
                   const QByteArray& body = {}) {
    QByteArray r =
        method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
    if (method != "GET") {
        r +=
            "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\n";
    }
    return r + "\r\n" + body;
}

QByteArray RouteRequest(quint16 port, int input) {
    return Request("POST", "/api/v1/route", port,
                   QByteArray("{\"output\":") + QByteArray::number(kRoutedOutput) +
                       ",\"input\":" + QByteArray::number(input) + ",\"take\":true}");
}

std::string Shown(const HttpAnswer& a) {
    return std::to_string(a.status) + " " + a.body.left(300).toStdString();
}

// A route's answer: 200 with the revision it made and the lines it sent.
struct RouteAnswer {
    bool ok = false;
    int revision = 0;
    qsizetype sent = 0;
};

RouteAnswer ReadRouteAnswer(const HttpAnswer& a) {
    RouteAnswer r;
    const QJsonObject body = QJsonDocument::fromJson(a.body).object();
    r.ok = a.status == 200 && body.value("revision").isDouble() && body.value("sent").isArray();
    r.revision = body.value("revision").toInt();
    r.sent = body.value("sent").toArray().size();
    return r;
}

// --- the child processes --------------------------------------------------------

// quorvel-bridge linked to the simulator's TCP port, listening on a free
// loopback port, the poll off; ready once it logged its link up.
class BridgeProcess {
  public:
    BridgeProcess(const QString& program, quint16 simulatorPort)
        : BridgeProcess(program, {"--tcp", "127.0.0.1:" + QString::number(simulatorPort)}) {}
    // With the link options (and any more) given.
    BridgeProcess(const QString& program, const QStringList& arguments) {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.setReadChannel(QProcess::StandardError);
        QElapsedTimer clock;
        clock.start();
        process_.start(program, arguments + QStringList{"--listen", "127.0.0.1:0", "--poll", "0"});
        if (!process_.waitForStarted(kStartMs)) {
            error_ = "cannot start " + program + ": " + process_.errorString();
            return;
        }
        bool linkUp = false;
        while (!linkUp && clock.elapsed() < kStartMs) {
            if (!process_.canReadLine() &&
                !process_.waitForReadyRead(static_cast<int>(kStartMs - clock.elapsed()))) {
                break;
            }
            while (process_.canReadLine()) {
                const QByteArray line = process_.readLine();
                log_ += line;
                const QByteArray text = line.trimmed();
                if (text.startsWith("quorvel-bridge: listening on ")) {
                    port_ = static_cast<quint16>(text.mid(text.lastIndexOf(':') + 1).toUInt());
                } else if (text.startsWith("quorvel-bridge: switcher port on ")) {
                    switcherPort_ =
                        static_cast<quint16>(text.mid(text.lastIndexOf(':') + 1).toUInt());
                } else if (text.startsWith("quorvel-bridge: link up to ")) {
                    linkUp = true;
                }
            }
        }
        startMs_ = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        ready_ = linkUp && port_ != 0;
        if (!ready_) {
            error_ = "the bridge did not report its port and its link within " +
                     QString::number(kStartMs / 1000) + " s; it logged: " + Log();
        }
    }
    ~BridgeProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }
    BridgeProcess(const BridgeProcess&) = delete;
    BridgeProcess& operator=(const BridgeProcess&) = delete;

    bool Ready() const { return ready_; }
    QString Error() const { return error_; }
    quint16 Port() const { return port_; }
    quint16 SwitcherPort() const { return switcherPort_; }
    qint64 Pid() const { return process_.processId(); }
    double StartMs() const { return startMs_; }
    // Whether it still runs; when it has ended, how.
    bool Running(QString& ended) {
        if (process_.state() == QProcess::Running && !process_.waitForFinished(0)) {
            return true;
        }
        ended = process_.exitStatus() == QProcess::CrashExit
                    ? QStringLiteral("it crashed")
                    : QStringLiteral("it exited with code %1").arg(process_.exitCode());
        return false;
    }
    // Everything it logged so far, for a failure's report.
    QString Log() {
        log_ += process_.readAllStandardError();
        return QString::fromLocal8Bit(log_).trimmed().replace('\n', " | ");
    }

  private:
    QProcess process_;
    QByteArray log_;
    quint16 port_ = 0;
    quint16 switcherPort_ = 0;
    bool ready_ = false;
    double startMs_ = 0;
    QString error_;
};

// A field of /proc/PID/status in kB ("VmRSS", "VmHWM"), or -1.
double StatusKb(qint64 pid, const QByteArray& field) {
    QFile file(QString("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(field + ':')) {
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble();
        }
    }
    return -1;
}

// utime + stime of /proc/PID/stat in clock ticks, or -1.
long long CpuTicks(qint64 pid) {
    QFile file(QString("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray stat = file.readAll();
    // The fields after the command name, which is in parentheses and may
    // hold spaces: state is the 3rd field, utime the 14th, stime the 15th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return -1;
    }
    return fields[11].toLongLong() + fields[12].toLongLong();
}

struct CtlRun {
    bool ok = false;
    double us = 0;
    std::string failure;
};

CtlRun RunCtl(const BenchContext& ctx, const QStringList& arguments) {
    CtlRun run;
    QProcess ctl;
    ctl.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    ctl.start(ctx.ctlProgram, arguments);
    if (!ctl.waitForFinished(kCtlMs)) {
        run.failure = "quorvel-ctl did not finish: " + ctl.errorString().toStdString();
        ctl.kill();
        ctl.waitForFinished();
        return run;
    }
    run.us = static_cast<double>(clock.nsecsElapsed()) / 1000.0;
    run.ok = ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() == 0;
    if (!run.ok) {
        run.failure = "quorvel-ctl " + arguments.join(' ').toStdString() + ": exit code " +
                      std::to_string(ctl.exitCode()) + " " +
                      ctl.readAllStandardError().trimmed().toStdString();
    }
    return run;
}

// Runs the event loop until a condition holds or time runs out; whatever may
// make it hold calls Poke().
class Waiter {
  public:
    bool Until(const std::function<bool()>& done, int timeoutMs) {
        if (done()) {
            return true;
        }
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        limit.setTimerType(Qt::PreciseTimer);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(timeoutMs);
        done_ = &done;
        loop_ = &loop;
        loop.exec();
        loop_ = nullptr;
        done_ = nullptr;
        return done();
    }
    void Poke() {
        if (loop_ != nullptr && (*done_)()) {
            loop_->quit();
        }
    }

  private:
    QEventLoop* loop_ = nullptr;
    const std::function<bool()>* done_ = nullptr;
};

// --- the measurements -----------------------------------------------------------

struct Run {
    BenchContext& ctx;
    BridgeProcess& bridge;
    int nextInput = kInputA;

    bool Fail(const std::string& what) {
        ctx.report("  bridge: " + what);
        QString ended;
        if (!bridge.Running(ended)) {
            ctx.report("  the bridge is no longer running: " + ended.toStdString() +
                       "; it logged: " + bridge.Log().toStdString());
        }
        return false;
    }
    int TakeInput() {
        const int input = nextInput;
        nextInput = input == kInputA ? kInputB : kInputA;
        return input;
    }
};

// One request on a blocking keep-alive socket, timed from the write to the
// whole answer.
bool Exchange(QTcpSocket& socket, AnswerReader& reader, const QByteArray& request,
              HttpAnswer& answer, double& us) {
    const double start = NowUs();
    socket.write(request);
    socket.flush();
    QElapsedTimer clock;
    clock.start();
    while (!reader.Next(answer)) {
        if (reader.Broken() || clock.elapsed() >= kAnswerMs ||
            !socket.waitForReadyRead(static_cast<int>(kAnswerMs - clock.elapsed()))) {
            return false;
        }
        reader.Add(socket.readAll());
    }
    us = NowUs() - start;
    return true;
}

// Routes with take through the bridge, then the same with quorvel-ctl.
bool MeasureRoute(Run& run) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, run.bridge.Port());
    if (!socket.waitForConnected(kAnswerMs)) {
        return run.Fail("cannot connect: " + socket.errorString().toStdString());
    }
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    AnswerReader reader;
    std::vector<double> samples;
    for (int i = 0; i < kRouteWarmUp + kRouteRequests; ++i) {
        HttpAnswer answer;
        double us = 0;
        if (!Exchange(socket, reader, RouteRequest(run.bridge.Port(), run.TakeInput()), answer,
                      us)) {
            return run.Fail("no answer to POST /api/v1/route within " +
                            std::to_string(kAnswerMs / 1000) +
                            " s: " + socket.errorString().toStdString());
        }
        const RouteAnswer route = ReadRouteAnswer(answer);
        // The first route may find the output showing that input already.
        if (!route.ok || (i > 0 && route.sent == 0)) {
            return run.Fail("POST /api/v1/route answered " + Shown(answer));
        }
        if (i >= kRouteWarmUp) {
            samples.push_back(us);
        }
    }
    socket.disconnectFromHost();
    const Summary bridgeRoute = Summarise(samples);

    SimProcess sim(run.ctx.simulatorProgram, run.ctx.workDir + "/bridge-ctl", kDemo);
    if (!sim.Ready()) {
        return run.Fail("simulator for quorvel-ctl: " + sim.Error().toStdString());
    }
    const QStringList link = {"--tcp", "127.0.0.1:" + QString::number(sim.TcpPort())};
    std::vector<double> ctlSamples;
    int ctlInput = kInputA;
    for (int i = 0; i < kCtlWarmUp + kCtlRuns; ++i) {
        const CtlRun ctl =
            RunCtl(run.ctx, link + QStringList{"route", QString::number(kRoutedOutput),
                                               QString::number(ctlInput), "--take"});
        ctlInput = ctlInput == kInputA ? kInputB : kInputA;
        if (!ctl.ok) {
            return run.Fail(ctl.failure);
        }
        if (i >= kCtlWarmUp) {
            ctlSamples.push_back(ctl.us);
        }
    }
    const Summary ctlRoute = Summarise(ctlSamples);
    const double medianMs = bridgeRoute.medianUs / 1000;
    run.ctx.report(Line("bridge route+take: n=%zu median %.2f ms, p99 %.2f ms (target median <= "
                        "%.0f ms: %s); quorvel-ctl route --take as a process: n=%zu median "
                        "%.1f ms",
                        bridgeRoute.count, medianMs, bridgeRoute.p99Us / 1000, kRouteTargetMedianMs,
                        Verdict(medianMs <= kRouteTargetMedianMs), ctlRoute.count,
                        ctlRoute.medianUs / 1000));
    return true;
}

// GETs from kStateConnections keep-alive connections, each sending its next
// request as soon as it has the answer.
struct LoadResult {
    std::string failure;
    long long answers = 0; // answered within the window
    double seconds = 0;
    std::vector<double> latenciesUs;
    double bridgeCpuS = 0;
    double ownCpuS = 0;

    double PerSecond() const { return static_cast<double>(answers) / seconds; }
    double BridgeCpuUsPerRequest() const {
        return 1e6 * bridgeCpuS / static_cast<double>(std::max(answers, 1LL));
    }
};
// What each answer must be: its status, and a text its body holds.
struct Expected {
    int status = 200;
    QByteArray mark;
};

struct LoadConnection {
    int fd = -1;
    AnswerReader reader;
    double sentUs = 0;
    bool waiting = false;
};

bool SendAll(int fd, const QByteArray& bytes) {
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + at, static_cast<size_t>(bytes.size() - at),
                                 MSG_NOSIGNAL);
        if (n > 0) {
            at += n;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kAnswerMs) <= 0) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

LoadResult Load(std::vector<LoadConnection>& connections, const QByteArray& request,
                const Expected& expected, int windowMs) {
    LoadResult result;
    const double startUs = NowUs();
    const double endUs = startUs + windowMs * 1000.0;
    for (LoadConnection& c : connections) {
        c.sentUs = NowUs();
        c.waiting = true;
        if (!SendAll(c.fd, request)) {
            result.failure = std::string("cannot send: ") + std::strerror(errno);
            return result;
        }
    }
    std::vector<pollfd> fds(connections.size());
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        int open = 0;
        for (std::size_t i = 0; i < connections.size(); ++i) {
            fds[i] = {connections[i].fd, static_cast<short>(connections[i].waiting ? POLLIN : 0),
                      0};
            open += connections[i].waiting ? 1 : 0;
        }
        if (open == 0) {
            break;
        }
        const int ready = ::poll(fds.data(), fds.size(), kAnswerMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            result.failure = "no answer within " + std::to_string(kAnswerMs / 1000) + " s";
            return result;
        }
        for (std::size_t i = 0; i < connections.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            LoadConnection& c = connections[i];
            const ssize_t n = ::recv(c.fd, buffer.data(), buffer.size(), 0);
            if (n <= 0) {
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                    continue;
                }
                result.failure = n == 0 ? "the bridge closed a connection"
                                        : std::string("recv: ") + std::strerror(errno);
                return result;
            }
            c.reader.Add(buffer.data(), n);
            HttpAnswer answer;
            while (c.reader.Next(answer)) {
                const double nowUs = NowUs();
                if (answer.status != expected.status || !answer.body.contains(expected.mark)) {
                    result.failure = "answered " + Shown(answer);
                    return result;
                }
                if (!c.waiting) {
                    result.failure = "an answer nobody asked for";
                    return result;
                }
                result.latenciesUs.push_back(nowUs - c.sentUs);
                c.waiting = false;
                if (nowUs < endUs) {
                    ++result.answers;
                    c.sentUs = nowUs;
                    c.waiting = true;
                    if (!SendAll(c.fd, request)) {
                        result.failure = std::string("cannot send: ") + std::strerror(errno);
                        return result;
                    }
                }
            }
            if (c.reader.Broken()) {
                result.failure = "a malformed answer";
                return result;
            }
        }
    }
    result.seconds = (endUs - startUs) / 1e6;
    return result;
}

bool MeasureStateLoad(Run& run) {
    std::vector<LoadConnection> connections(kStateConnections);
    const auto closeAll = [&] {
        for (LoadConnection& c : connections) {
            if (c.fd >= 0) {
                ::close(c.fd);
                c.fd = -1;
            }
        }
    };
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(run.bridge.Port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (LoadConnection& c : connections) {
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (c.fd < 0 ||
            ::connect(c.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const std::string why = std::strerror(errno);
            closeAll();
            return run.Fail("cannot connect for the state load: " + why);
        }
        const int one = 1;
        ::setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ::fcntl(c.fd, F_SETFL, ::fcntl(c.fd, F_GETFL) | O_NONBLOCK);
    }
    // A warm-up, then the window with the CPU both sides used in it.
    const auto timed = [&](const QByteArray& path, const Expected& expected, int windowMs) {
        const QByteArray request = Request("GET", path, run.bridge.Port());
        LoadResult warm = Load(connections, request, expected, kStateWarmUpMs);
        if (!warm.failure.empty()) {
            warm.failure = "GET " + path.toStdString() + ": " + warm.failure;
            return warm;
        }
        const long long bridgeTicks = CpuTicks(run.bridge.Pid());
        const double ownCpuUs = ProcessCpuUs();
        LoadResult load = Load(connections, request, expected, windowMs);
        load.bridgeCpuS = static_cast<double>(CpuTicks(run.bridge.Pid()) - bridgeTicks) /
                          static_cast<double>(::sysconf(_SC_CLK_TCK));
        load.ownCpuS = (ProcessCpuUs() - ownCpuUs) / 1e6;
        if (!load.failure.empty()) {
            load.failure = "GET " + path.toStdString() + ": " + load.failure;
        }
        return load;
    };
    const LoadResult load = timed("/api/v1/state", {200, "\"revision\""}, kStateMs);
    const LoadResult baseline =
        load.failure.empty() ? timed("/none", {404, "\"error\""}, kBaselineMs) : load;
    closeAll();
    if (!baseline.failure.empty()) {
        return run.Fail("load: " + baseline.failure);
    }
    const Summary s = Summarise(load.latenciesUs);
    const double perSecond = load.PerSecond();
    const double p99Ms = s.p99Us / 1000;
    run.ctx.report(Line("bridge GET /api/v1/state, %d keep-alive connections, %.0f s: %.0f "
                        "requests/s (target >= %.0f: %s), median %.2f ms, p99 %.2f ms (target "
                        "<= %.0f ms: %s)",
                        kStateConnections, load.seconds, perSecond, kStateTargetPerSecond,
                        Verdict(perSecond >= kStateTargetPerSecond), s.medianUs / 1000, p99Ms,
                        kStateTargetP99Ms, Verdict(p99Ms <= kStateTargetP99Ms)));
    // Which side ran out of CPU (the bridge has one thread), and how much of
    // the bridge's went to the HTTP exchange itself.
    run.ctx.report(Line("    CPU meanwhile: the bridge %.0f %% of a core, this process (the "
                        "clients) %.0f %%; the bridge's CPU per request %.0f us, against %.0f us "
                        "for GET /none (404, %.0f requests/s)",
                        100 * load.bridgeCpuS / load.seconds, 100 * load.ownCpuS / load.seconds,
                        load.BridgeCpuUsPerRequest(), baseline.BridgeCpuUsPerRequest(),
                        baseline.PerSecond()));
    return true;
}

// A WebSocket client of /api/v1/events: when it heard of each revision.
struct Listener {
    std::unique_ptr<QWebSocket> socket;
    std::vector<std::pair<int, double>> heard; // revision, when (us)
    int messages = 0;
    std::string failure;

    // When it first heard of `revision` or a later one, or a negative value.
    double HeardUs(int revision) const {
        for (const auto& [r, us] : heard) {
            if (r >= revision) {
                return us;
            }
        }
        return -1;
    }
};

// The revision of a state message, found without parsing the whole document;
// -1 when it is no state message.
int MessageRevision(const QString& message) {
    if (!message.contains(QLatin1String("\"type\":\"state\""))) {
        return -1;
    }
    static const QLatin1String key("\"revision\":");
    const qsizetype at = message.indexOf(key);
    if (at < 0) {
        return -1;
    }
    qsizetype end = at + key.size();
    while (end < message.size() && message[end].isDigit()) {
        ++end;
    }
    bool ok = false;
    const int revision =
        QStringView(message).sliced(at + key.size(), end - at - key.size()).toInt(&ok);
    return ok ? revision : -1;
}

// Route pushes to kWebSocketClients clients, then the bridge's memory with
// them connected and its CPU while idle.
bool MeasurePushAndIdle(Run& run) {
    Waiter waiter;
    std::vector<std::unique_ptr<Listener>> listeners;
    const QUrl url(QString("ws://127.0.0.1:%1/api/v1/events").arg(run.bridge.Port()));
    for (int i = 0; i < kWebSocketClients; ++i) {
        auto l = std::make_unique<Listener>();
        l->socket = std::make_unique<QWebSocket>();
        Listener* raw = l.get();
        QObject::connect(raw->socket.get(), &QWebSocket::textMessageReceived,
                         [raw, &waiter](const QString& message) {
                             const double us = NowUs();
                             const int revision = MessageRevision(message);
                             ++raw->messages;
                             if (revision < 0) {
                                 raw->failure = "a message without a state revision: " +
                                                message.left(200).toStdString();
                             } else {
                                 raw->heard.emplace_back(revision, us);
                             }
                             waiter.Poke();
                         });
        QObject::connect(raw->socket.get(), &QWebSocket::disconnected, [raw, &waiter] {
            if (raw->failure.empty()) {
                raw->failure = "disconnected: " + raw->socket->errorString().toStdString();
            }
            waiter.Poke();
        });
        raw->socket->open(url);
        listeners.push_back(std::move(l));
    }
    const auto failed = [&]() -> const Listener* {
        for (const auto& l : listeners) {
            if (!l->failure.empty()) {
                return l.get();
            }
        }
        return nullptr;
    };
    const auto closeAll = [&] {
        for (auto& l : listeners) {
            l->socket->disconnect();
            l->socket->abort();
        }
    };
    const bool greeted = waiter.Until(
        [&] {
            return failed() != nullptr ||
                   std::all_of(listeners.begin(), listeners.end(),
                               [](const auto& l) { return l->messages > 0; });
        },
        kAnswerMs);
    if (const Listener* bad = failed()) {
        closeAll();
        return run.Fail("WebSocket client: " + bad->failure);
    }
    if (!greeted) {
        const auto n = std::count_if(listeners.begin(), listeners.end(),
                                     [](const auto& l) { return l->messages > 0; });
        closeAll();
        return run.Fail(Line("only %d of %d WebSocket clients had the state within %d s",
                             static_cast<int>(n), kWebSocketClients, kAnswerMs / 1000));
    }

    // The routes go out on a keep-alive connection read from the event loop,
    // so that the answer and the clients' messages are stamped as they come.
    AnswerReader reader;
    std::vector<std::pair<HttpAnswer, double>> answers;
    QTcpSocket http;
    QObject::connect(&http, &QTcpSocket::readyRead, [&] {
        const double us = NowUs();
        reader.Add(http.readAll());
        HttpAnswer a;
        while (reader.Next(a)) {
            answers.emplace_back(a, us);
        }
        waiter.Poke();
    });
    QObject::connect(&http, &QTcpSocket::disconnected, [&] { waiter.Poke(); });
    http.connectToHost(QHostAddress::LocalHost, run.bridge.Port());
    if (!http.waitForConnected(kAnswerMs)) {
        closeAll();
        return run.Fail("cannot connect: " + http.errorString().toStdString());
    }
    http.setSocketOption(QAbstractSocket::LowDelayOption, 1);

    std::vector<double> pushes;
    std::vector<double> routes;
    std::vector<double> fromRequest;
    int allBeforeAnswer = 0;
    for (int i = 0; i < kPushWarmUp + kPushRoutes; ++i) {
        answers.clear();
        for (auto& l : listeners) {
            l->heard.clear();
        }
        const double sentUs = NowUs();
        http.write(RouteRequest(run.bridge.Port(), run.TakeInput()));
        if (!waiter.Until(
                [&] {
                    return !answers.empty() || reader.Broken() ||
                           http.state() != QAbstractSocket::ConnectedState;
                },
                kAnswerMs) ||
            answers.empty()) {
            closeAll();
            return run.Fail("no answer to POST /api/v1/route within " +
                            std::to_string(kAnswerMs / 1000) + " s");
        }
        const auto [answer, answerUs] = answers.front();
        const RouteAnswer route = ReadRouteAnswer(answer);
        if (!route.ok || route.sent == 0) {
            closeAll();
            return run.Fail("POST /api/v1/route answered " + Shown(answer));
        }
        const auto allHeard = [&] {
            return failed() != nullptr ||
                   std::all_of(listeners.begin(), listeners.end(),
                               [&](const auto& l) { return l->HeardUs(route.revision) >= 0; });
        };
        const bool heard = waiter.Until(allHeard, kAnswerMs);
        if (const Listener* bad = failed()) {
            closeAll();
            return run.Fail("WebSocket client: " + bad->failure);
        }
        if (!heard) {
            closeAll();
            return run.Fail(Line("revision %d did not reach every WebSocket client within %d s",
                                 route.revision, kAnswerMs / 1000));
        }
        double lastUs = 0;
        for (const auto& l : listeners) {
            lastUs = std::max(lastUs, l->HeardUs(route.revision));
        }
        if (i >= kPushWarmUp) {
            // The bridge writes the event before the lines go to the
            // switcher, so a client may hear of it before the answer comes:
            // then it counts as no wait at all.
            allBeforeAnswer += lastUs <= answerUs ? 1 : 0;
            pushes.push_back(std::max(0.0, lastUs - answerUs));
            routes.push_back(answerUs - sentUs);
            fromRequest.push_back(lastUs - sentUs);
        }
    }
    http.disconnectFromHost();
    const Summary push = Summarise(pushes);
    const double p99Ms = push.p99Us / 1000;
    run.ctx.report(Line("bridge route pushed to %d WebSocket clients, answer to the last client's "
                        "message: n=%zu median %.2f ms, p99 %.2f ms (target p99 <= %.0f ms: %s)",
                        kWebSocketClients, push.count, push.medianUs / 1000, p99Ms,
                        kPushTargetP99Ms, Verdict(p99Ms <= kPushTargetP99Ms)));
    const Summary route = Summarise(routes);
    const Summary whole = Summarise(fromRequest);
    run.ctx.report(Line("    routes whose every client had the message before the answer: %d of "
                        "%zu; request to the answer: median %.2f ms, p99 %.2f ms; request to the "
                        "last client's message: median %.2f ms, p99 %.2f ms",
                        allBeforeAnswer, push.count, route.medianUs / 1000, route.p99Us / 1000,
                        whole.medianUs / 1000, whole.p99Us / 1000));

    const qint64 pid = run.bridge.Pid();
    const double residentMb = StatusKb(pid, "VmRSS") / 1024;
    const double peakMb = StatusKb(pid, "VmHWM") / 1024;
    if (residentMb < 0) {
        closeAll();
        return run.Fail("cannot read /proc/" + std::to_string(pid) + "/status");
    }
    run.ctx.report(Line("bridge resident memory with %d WebSocket clients: VmRSS %.1f MB, "
                        "VmHWM %.1f MB (target <= %.0f MB: %s)",
                        kWebSocketClients, residentMb, peakMb, kResidentTargetMb,
                        Verdict(residentMb <= kResidentTargetMb)));

    // Nothing happens for kIdleMs but the event loop waiting; the clients
    // stay connected.
    const long long ticksBefore = CpuTicks(pid);
    const double idleStartUs = NowUs();
    waiter.Until([] { return false; }, kIdleMs);
    const double idleSeconds = (NowUs() - idleStartUs) / 1e6;
    const long long ticksAfter = CpuTicks(pid);
    if (ticksBefore < 0 || ticksAfter < 0) {
        closeAll();
        return run.Fail("cannot read /proc/" + std::to_string(pid) + "/stat");
    }
    const auto ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
    const long long ticks = ticksAfter - ticksBefore;
    const double percent = 100.0 * static_cast<double>(ticks) / ticksPerSecond / idleSeconds;
    run.ctx.report(Line("bridge CPU while idle, poll off, %d WebSocket clients connected: %.2f %% "
                        "(%lld ticks of %.0f ms in %.1f s) (target %.0f %%: %s)",
                        kWebSocketClients, percent, ticks, 1000 / ticksPerSecond, idleSeconds,
                        kIdleCpuTargetPercent, Verdict(ticks == 0)));
    const Listener* bad = failed();
    closeAll();
    return bad == nullptr ? true : run.Fail("WebSocket client while idle: " + bad->failure);
}

bool MeasureBridge(BenchContext& ctx) {
    SimProcess sim(ctx.simulatorProgram, ctx.workDir + "/bridge", kDemo);
    if (!sim.Ready()) {
        ctx.report("  simulator: " + sim.Error().toStdString());
        return false;
    }
    BridgeProcess bridge(ctx.bridgeProgram, sim.TcpPort());
    if (!bridge.Ready()) {
        ctx.report("  bridge: " + bridge.Error().toStdString());
        return false;
    }
    ctx.report(Line("bridge: start to link up and read back over TCP: %.0f ms", bridge.StartMs()));
    Run run{ctx, bridge};
    return MeasureRoute(run) && MeasureStateLoad(run) && MeasurePushAndIdle(run);
}

// --- the switcher port -------------------------------------------------------------

// A loopback port nobody listens on now, for the bridge's --switcher-port.
quint16 FreePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// A client's link (production waits) to a TCP port or a pty.
struct ClientLink {
    ClientLink(quint16 tcpPort, const QString& pty = {})
        : link(state, host, prompts, SerialPortMap({pty, {}, {}, {}}), LinkTimings::Production(),
               tcpPort) {}
    bool Open(bool serial) {
        if (serial) {
            if (link.SearchPorts(1) != 1) {
                return false;
            }
            link.SetSerialConnected(true);
            return true;
        }
        return link.TcpConnect("127.0.0.1") == DeviceLink::TcpOutcome::Probed;
    }
    LinkState state;
    QuietHost host;
    CountingPrompts prompts;
    DeviceLink link;
};

constexpr int kPortCommandRuns = 500;
constexpr int kPortReadBacks = 3;

struct PortFigures {
    Summary command;
    Summary readBack;
};

// A command's round trip (FPLOCK 0) and the full read-back of the client's
// own link, `serial` on the pty else over TCP; false with a report when the
// client saw a message.
bool MeasureClient(BenchContext& ctx, ClientLink& client, bool serial, const char* what,
                   PortFigures& figures) {
    if (!client.Open(serial)) {
        ctx.report(std::string("  ") + what + ": no switcher found");
        return false;
    }
    const std::string command = cmd::Fplock(false);
    figures.command = TimeRuns(std::min(ctx.runs, kPortCommandRuns), kRouteWarmUp,
                               [&] { client.link.SendCommand(command); });
    DeviceState state;
    int failed = 0;
    figures.readBack = TimeRuns(kPortReadBacks, 1, [&] {
        if (ReadBack(client.link, state, client.host, client.prompts) < 1) {
            ++failed;
        }
    });
    if (failed > 0 || client.prompts.count > 0) {
        ctx.report(std::string("  ") + what + ": " + std::to_string(failed) +
                   " read-backs failed, messages: " + client.prompts.last.toStdString());
        return false;
    }
    return true;
}

// The switcher port against the switcher itself: a controller's command
// round trip and full read-back, direct and through a bridge whose link is
// TCP or the pty (the controller always on TCP to the bridge).
bool MeasureSwitcherPort(BenchContext& ctx) {
    SimProcess direct(ctx.simulatorProgram, ctx.workDir + "/port-direct", kDemo);
    SimProcess behindTcp(ctx.simulatorProgram, ctx.workDir + "/port-tcp", kDemo);
    SimProcess behindPty(ctx.simulatorProgram, ctx.workDir + "/port-pty", kDemo);
    for (const SimProcess* s : {&direct, &behindTcp, &behindPty}) {
        if (!s->Ready()) {
            ctx.report("  simulator: " + s->Error().toStdString());
            return false;
        }
    }
    BridgeProcess bridgeTcp(ctx.bridgeProgram,
                            {"--tcp", "127.0.0.1:" + QString::number(behindTcp.TcpPort()),
                             "--switcher-port", QString::number(FreePort())});
    BridgeProcess bridgePty(ctx.bridgeProgram, {"--serial", behindPty.PtyPath(), "--switcher-port",
                                                QString::number(FreePort())});
    for (BridgeProcess* b : {&bridgeTcp, &bridgePty}) {
        if (!b->Ready() || b->SwitcherPort() == 0) {
            ctx.report("  bridge: " + b->Error().toStdString() + " " + b->Log().toStdString());
            return false;
        }
    }
    PortFigures tcpDirect, tcpBridged, ptyDirect, ptyBridged;
    {
        ClientLink client(direct.TcpPort());
        if (!MeasureClient(ctx, client, false, "direct over TCP", tcpDirect)) {
            return false;
        }
    }
    {
        ClientLink client(bridgeTcp.SwitcherPort());
        if (!MeasureClient(ctx, client, false, "through the bridge, its link TCP", tcpBridged)) {
            return false;
        }
    }
    {
        ClientLink client(0, direct.PtyPath());
        if (!MeasureClient(ctx, client, true, "direct over the pty", ptyDirect)) {
            return false;
        }
    }
    {
        ClientLink client(bridgePty.SwitcherPort());
        if (!MeasureClient(ctx, client, false, "through the bridge, its link the pty", ptyBridged)) {
            return false;
        }
    }
    const auto ms = [](double us) { return us / 1000.0; };
    ctx.report(Line("switcher port: command round trip (FPLOCK 0), n=%zu: TCP direct median %.3f ms "
                    "p99 %.3f ms; through the bridge (link TCP) median %.3f ms p99 %.3f ms; "
                    "ratio %.2f",
                    tcpDirect.command.count, ms(tcpDirect.command.medianUs),
                    ms(tcpDirect.command.p99Us), ms(tcpBridged.command.medianUs),
                    ms(tcpBridged.command.p99Us),
                    tcpBridged.command.medianUs / tcpDirect.command.medianUs));
    ctx.report(Line("switcher port: command round trip (FPLOCK 0), n=%zu: pty direct median %.3f ms "
                    "p99 %.3f ms; through the bridge (link the pty) median %.3f ms p99 %.3f ms; "
                    "ratio %.2f",
                    ptyDirect.command.count, ms(ptyDirect.command.medianUs),
                    ms(ptyDirect.command.p99Us), ms(ptyBridged.command.medianUs),
                    ms(ptyBridged.command.p99Us),
                    ptyBridged.command.medianUs / ptyDirect.command.medianUs));
    ctx.report(Line("switcher port: full read-back (22 queries), median of %zu: TCP direct %.0f ms, "
                    "through the bridge (link TCP) %.0f ms, ratio %.3f",
                    tcpDirect.readBack.count, ms(tcpDirect.readBack.medianUs),
                    ms(tcpBridged.readBack.medianUs),
                    tcpBridged.readBack.medianUs / tcpDirect.readBack.medianUs));
    // A client of the switcher port is on TCP and makes the TCP link's pause
    // before each query; a client on the pty makes none: its read-back is
    // held against the TCP client's direct one.
    ctx.report(Line("switcher port: full read-back (22 queries), median of %zu: through the bridge "
                    "(link the pty, client TCP) %.0f ms, ratio %.3f to TCP direct; a serial client "
                    "on the pty directly (no pauses) %.0f ms",
                    ptyBridged.readBack.count, ms(ptyBridged.readBack.medianUs),
                    ptyBridged.readBack.medianUs / tcpDirect.readBack.medianUs,
                    ms(ptyDirect.readBack.medianUs)));
    return true;
}

} // namespace

std::vector<BenchCase> BridgeCases() {
    return {
        {"bridge", MeasureBridge},
        {"bridge-switcher-port", MeasureSwitcherPort},
    };
}

} // namespace qvc::bench
