// quorvel-bridge's MQTT front: Debian's Mosquitto broker on a free loopback
// port, demo 16 x 16 simulators and quorvel-bridge processes (children), and
// a subscriber in this process.
//
//   - one bridge: a command published to quorvel/<id>/set/... until the state
//     it leads to comes back from the broker. The bridge publishes that state
//     once the switcher acknowledged the command's last line, so the figure
//     is the acknowledgement plus one hop through the broker;
//   - the same across a fleet of bridges, one bridge at a time, and with
//     every bridge commanded at once (on two cores, that burst queues);
//   - the broker stopped and started again, until every bridge's state is
//     retained again (the bridge's back-off starts at 1 s);
//   - the resident memory of a bridge with MQTT on.
#include "Bench.h"
#include "SimProcess.h"
#include "tests/support/MqttPeers.h"

#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace qvc::bench {

namespace {

using test::Broker;
using test::NowNs;
using test::Probe;
using test::WaitFor;

constexpr std::size_t kFleet = 20;
constexpr int kSingleCommands = 200;
constexpr int kFleetRounds = 10;
constexpr int kStartMs = 60000;   // every bridge up with its state retained
constexpr int kAnswerMs = 10000;  // one command's state
constexpr int kRestartMs = 60000; // the broker's restart to every state retained
constexpr double kTargetMedianMs = 10;

const QStringList kDemo = {"--model", "3", "--demo"};

std::string Line(const char* format, auto... values) {
    char line[400];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

QString Id(std::size_t i) {
    return QStringLiteral("bench%1").arg(i, 2, 10, QLatin1Char('0'));
}
QString Topic(std::size_t i, const char* leaf) {
    return "quorvel/" + Id(i) + '/' + QLatin1String(leaf);
}

// A field of /proc/PID/status in MB ("VmRSS", "VmHWM").
double StatusMb(qint64 pid, const QByteArray& field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf(field + ':');
    if (at < 0) {
        return 0;
    }
    const qsizetype from = at + field.size() + 1;
    return text.mid(from, text.indexOf("kB", from) - from).trimmed().toDouble() / 1024;
}

// Simulators and bridges, one bridge per simulator, each under its own id.
class Fleet {
  public:
    Fleet(const BenchContext& ctx, quint16 brokerPort, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            sims_.push_back(std::make_unique<SimProcess>(ctx.simulatorProgram,
                                                         ctx.workDir + "/mqtt" + Id(i), kDemo));
            if (!sims_.back()->Ready()) {
                error_ = "simulator: " + sims_.back()->Error();
                return;
            }
            bridges_.push_back(std::make_unique<QProcess>());
            bridges_.back()->setStandardErrorFile(QProcess::nullDevice());
            bridges_.back()->setStandardOutputFile(QProcess::nullDevice());
            bridges_.back()->start(
                ctx.bridgeProgram,
                {"--tcp", QStringLiteral("127.0.0.1:%1").arg(sims_.back()->TcpPort()), "--listen",
                 "127.0.0.1:0", "--poll", "0", "--mqtt",
                 QStringLiteral("127.0.0.1:%1").arg(brokerPort), "--mqtt-id", Id(i)});
        }
    }
    ~Fleet() {
        for (auto& p : bridges_) {
            p->terminate();
        }
        for (auto& p : bridges_) {
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    const QString& Error() const { return error_; }
    std::size_t Size() const { return bridges_.size(); }
    qint64 Pid(std::size_t i) const { return bridges_[i]->processId(); }

  private:
    std::vector<std::unique_ptr<SimProcess>> sims_;
    std::vector<std::unique_ptr<QProcess>> bridges_;
    QString error_;
};

struct Run {
    BenchContext& ctx;
    Fleet& fleet;
    Probe& probe;

    int Revision(std::size_t i) const { return probe.Json(Topic(i, "state"))["revision"].toInt(); }
    bool Up(std::size_t i) const {
        return probe.Json(Topic(i, "state"))["link"].toObject()["up"].toBool();
    }
    template <typename Check> bool All(Check check) const {
        for (std::size_t i = 0; i < fleet.Size(); ++i) {
            if (!check(i)) {
                return false;
            }
        }
        return true;
    }
    bool Fail(const std::string& why) const {
        ctx.report("  " + why);
        return false;
    }
};

// The command of round `r` for bridge `i`: a route with Take (two lines, the
// input alternating so that each one changes the output), or a level.
QByteArray Command(std::size_t i, int r, QString& operation) {
    if (r % 2 == 0) {
        operation = QStringLiteral("set/route");
        return QStringLiteral(R"({"output":9,"input":%1,"take":true})")
            .arg(r % 4 == 0 ? 5 : 6)
            .toUtf8();
    }
    operation = QStringLiteral("set/level");
    return QStringLiteral(R"({"input":%1,"raw":%2})")
        .arg(1 + i % 16)
        .arg(100 + (r * 7 + int(i)) % 90)
        .toUtf8();
}

// `rounds` rounds; in each, every bridge gets a command, and the round ends
// when each one's state moved on. `together`: all commands of a round are
// published at once; otherwise one bridge at a time, each waited for.
// Milliseconds per command.
bool Commands(const Run& run, int rounds, bool together, std::vector<double>& ms) {
    const std::size_t n = run.fleet.Size();
    std::vector<int> before(n);
    std::vector<qint64> sent(n);
    const auto moved = [&](std::size_t i) { return run.Revision(i) > before[i]; };
    for (int r = 0; r < rounds; ++r) {
        for (std::size_t i = 0; i < n; ++i) {
            before[i] = run.Revision(i);
            QString operation;
            const QByteArray payload = Command(i, r, operation);
            sent[i] = NowNs();
            if (!run.probe.Publish(Topic(i, operation.toLatin1().constData()), payload)) {
                return run.Fail("the probe could not publish");
            }
            if (!together && !WaitFor([&] { return moved(i); }, kAnswerMs)) {
                return run.Fail(
                    Line("round %d: a state did not move on within %d ms", r, kAnswerMs));
            }
        }
        if (!WaitFor([&] { return run.All(moved); }, kAnswerMs)) {
            return run.Fail(Line("round %d: a state did not move on within %d ms", r, kAnswerMs));
        }
        for (std::size_t i = 0; i < n; ++i) {
            ms.push_back(static_cast<double>(run.probe.Last(Topic(i, "state"))->ns - sent[i]) /
                         1e6);
        }
    }
    return true;
}

void Report(const Run& run, const char* what, std::vector<double> ms, bool targeted) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[std::min(ms.size() - 1,
                           static_cast<std::size_t>(q * static_cast<double>(ms.size())))];
    };
    std::string line = Line("mqtt: %s: median %.2f ms, p99 %.2f ms, max %.2f ms over %zu", what,
                            at(0.5), at(0.99), ms.back(), ms.size());
    if (targeted) {
        line += Line(" (target: median <= %.0f ms, %s)", kTargetMedianMs,
                     at(0.5) <= kTargetMedianMs ? "met" : "missed");
    }
    run.ctx.report(line);
}

// The broker stopped and started on the same port; from its start until
// every bridge's state is retained again (a new subscriber sees it).
bool Restart(const Run& run, Broker& broker, const char* what) {
    broker.Stop();
    const qint64 started = NowNs();
    if (!broker.Start()) {
        return run.Fail("the broker did not start again");
    }
    const double upMs = static_cast<double>(NowNs() - started) / 1e6;
    Probe late(broker.Port(), QStringLiteral("bench-late-%1").arg(NowNs()), {"quorvel/+/state"});
    if (!WaitFor(
            [&] {
                return late.Ready() && run.All([&](std::size_t i) {
                    return late.Last(Topic(i, "state")) != nullptr;
                });
            },
            kRestartMs)) {
        return run.Fail(Line("%s: not every state came back within %d s", what, kRestartMs / 1000));
    }
    qint64 last = 0;
    for (std::size_t i = 0; i < run.fleet.Size(); ++i) {
        last = std::max(last, late.Last(Topic(i, "state"))->ns);
    }
    run.ctx.report(Line("mqtt: %s: broker restart to every state retained again: %.0f ms "
                        "(the broker itself took %.0f ms to take connections; the bridge "
                        "retries after 1, 2, 4 ... s)",
                        what, static_cast<double>(last - started) / 1e6, upMs));
    return true;
}

bool Measure(BenchContext& ctx, std::size_t size, const char* what) {
    Broker broker;
    if (!broker.Start()) {
        ctx.report("  cannot start /usr/sbin/mosquitto (Debian package mosquitto)");
        return false;
    }
    Probe probe(broker.Port(), QStringLiteral("bench-probe"), {"quorvel/+/state"});
    Fleet fleet(ctx, broker.Port(), size);
    if (!fleet.Error().isEmpty()) {
        ctx.report("  " + fleet.Error().toStdString());
        return false;
    }
    const Run run{ctx, fleet, probe};
    if (!WaitFor([&] { return probe.Ready() && run.All([&](std::size_t i) { return run.Up(i); }); },
                 kStartMs)) {
        return run.Fail(
            Line("%s: not every bridge published its link up within %d s", what, kStartMs / 1000));
    }
    const int rounds = size == 1 ? kSingleCommands : kFleetRounds;
    for (const bool together : {false, true}) {
        if (size == 1 && together) {
            break;
        }
        std::vector<double> ms;
        if (!Commands(run, 2, together, ms)) { // warm-up
            return false;
        }
        ms.clear();
        if (!Commands(run, rounds, together, ms)) {
            return false;
        }
        Report(run,
               Line("%s, command published to its state published (route with Take, level), %s",
                    what, together ? "every bridge at once" : "one at a time")
                   .c_str(),
               ms, !together);
    }
    std::vector<double> rss;
    for (std::size_t i = 0; i < size; ++i) {
        rss.push_back(StatusMb(fleet.Pid(i), "VmRSS"));
    }
    std::sort(rss.begin(), rss.end());
    ctx.report(Line("mqtt: %s, resident memory of a bridge with MQTT on: median %.1f MB, largest "
                    "%.1f MB (peak of the first %.1f MB)",
                    what, rss[size / 2], rss.back(), StatusMb(fleet.Pid(0), "VmHWM")));
    return Restart(run, broker, what);
}

} // namespace

std::vector<BenchCase> MqttCases() {
    return {
        {"mqtt", [](BenchContext& ctx) { return Measure(ctx, 1, "one bridge"); }},
        {"mqtt-fleet",
         [](BenchContext& ctx) { return Measure(ctx, kFleet, "20 bridges on one broker"); }},
    };
}

} // namespace qvc::bench
