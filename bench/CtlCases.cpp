// quorvel-ctl's measurements, a process per command as a script starts it,
// against the demo 16 x 16 simulator over TCP and over the serial link with
// the simulator's replies paced at 57600 baud: `route 9 5 --take` commands
// per second, the start-to-exit time of `take` (one exchange, nothing read
// first), and the wall time of `status --json` against the read-back floor
// of the link, the floor the window's read-back cases are held against.
#include "Bench.h"
#include "ReadBackWire.h"
#include "SimProcess.h"
#include "link/LinkTimings.h"
#include "link/ReadBack.h"

#include <QElapsedTimer>
#include <QProcess>
#include <climits>
#include <cstdio>
#include <memory>

namespace qvc::bench {

namespace {

constexpr int kRouteRuns = 20;
constexpr int kTakeRuns = 20;
constexpr int kStatusRuns = 5;
constexpr int kWarmUp = 2;
constexpr int kCtlMs = 60000;
constexpr int kSerialBaud = 57600;

const QStringList kDemo = {"--model", "3", "--demo"};

std::string Line(const char* format, auto... values) {
    char line[300];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

// One run of quorvel-ctl: its wall time from start to exit.
struct CtlRun {
    bool ok = false;
    double us = 0;
    QByteArray out;
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
    run.out = ctl.readAllStandardOutput();
    run.ok = ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() == 0;
    if (!run.ok) {
        run.failure = "quorvel-ctl " + arguments.join(' ').toStdString() + ": exit code " +
                      std::to_string(ctl.exitCode()) + " " +
                      ctl.readAllStandardError().trimmed().toStdString();
    }
    return run;
}

// `runs` timed runs of one command after kWarmUp untimed ones; empty when
// one failed (reported).
std::vector<double> TimeCtl(BenchContext& ctx, const QStringList& arguments, int runs) {
    std::vector<double> samples;
    for (int i = 0; i < kWarmUp + runs; ++i) {
        const CtlRun run = RunCtl(ctx, arguments);
        if (!run.ok) {
            ctx.report("  " + run.failure);
            return {};
        }
        if (i >= kWarmUp) {
            samples.push_back(run.us);
        }
    }
    return samples;
}

std::string TimeLine(const std::string& what, const Summary& s) {
    return Line("%-44s n=%-5zu median %9.1f ms   max %9.1f ms", what.c_str(), s.count,
                s.medianUs / 1000, s.maxUs / 1000);
}

// The wire bytes of a read-back of this simulator, read back in this process
// over the same link (TCP without the pause before each query).
bool ReadWire(BenchContext& ctx, const SimProcess& sim, bool tcp, ReadBackWire& wire) {
    LinkTimings timings = LinkTimings::Production();
    timings.tcpPauseMs = 0;
    LinkState linkState;
    QuietHost host;
    CountingPrompts prompts;
    DeviceState state;
    DeviceLink link(linkState, host, prompts, SerialPortMap({sim.PtyPath(), {}, {}, {}}), timings,
                    sim.TcpPort());
    bool open = false;
    if (tcp) {
        open = link.TcpConnect("127.0.0.1") == DeviceLink::TcpOutcome::Probed;
    } else if (link.SearchPorts(1) == 1) {
        link.SetSerialConnected(true);
        open = true;
    }
    if (!open || ReadBack(link, state, host, prompts) < 1 || prompts.count > 0) {
        ctx.report("  the read-back for the floor failed: " + prompts.last.toStdString());
        return false;
    }
    if (tcp) {
        link.TcpClose();
    }
    link.CloseSerialPort();
    wire = ReadBackWireOf(state);
    return true;
}

bool MeasureCtl(BenchContext& ctx, bool tcp) {
    const std::string name = tcp ? "tcp" : "serial";
    const QString logPath = ctx.workDir + "/ctl-" + QString::fromStdString(name) + ".log";
    QStringList simArguments = kDemo;
    if (!tcp) {
        simArguments << "--baud" << QString::number(kSerialBaud);
    }
    simArguments << "--log" << logPath;
    SimProcess sim(ctx.simulatorProgram, ctx.workDir + "/ctl-" + QString::fromStdString(name),
                   simArguments);
    if (!sim.Ready()) {
        ctx.report("  simulator: " + sim.Error().toStdString());
        return false;
    }
    ReadBackWire wire;
    if (!ReadWire(ctx, sim, tcp, wire)) {
        return false;
    }
    const QStringList link =
        tcp ? QStringList{"--tcp", "127.0.0.1:" + QString::number(sim.TcpPort())}
            : QStringList{"--serial", sim.PtyPath()};

    const std::size_t loggedBefore = ReadSimLog(logPath).size();
    const std::vector<double> routes =
        TimeCtl(ctx, link + QStringList{"route", "9", "5", "--take"}, kRouteRuns);
    if (routes.empty()) {
        return false;
    }
    const std::size_t loggedRoutes = ReadSimLog(logPath).size() - loggedBefore;
    double totalUs = 0;
    for (double us : routes) {
        totalUs += us;
    }
    const Summary route = Summarise(routes);
    ctx.report(TimeLine("ctl " + name + ": route 9 5 --take, a process each", route) +
               Line("   %.2f commands/s", static_cast<double>(routes.size()) / (totalUs / 1e6)));
    ctx.report(Line("    lines the simulator received per process: %.1f (probe, status and "
                    "group queries, RTEMP, TAKE)",
                    static_cast<double>(loggedRoutes) / (kWarmUp + kRouteRuns)));

    const std::vector<double> takes = TimeCtl(ctx, link + QStringList{"take"}, kTakeRuns);
    if (takes.empty()) {
        return false;
    }
    ctx.report(TimeLine("ctl " + name + ": take, process start to exit", Summarise(takes)));

    const std::vector<double> statuses =
        TimeCtl(ctx, link + QStringList{"status", "--json"}, kStatusRuns);
    if (statuses.empty()) {
        return false;
    }
    const Summary status = Summarise(statuses);
    ctx.report(TimeLine("ctl " + name + ": status --json", status));
    const double floorMs = tcp ? TcpFloorMs(wire) : SerialFloorMs(wire, kSerialBaud);
    ctx.report(Line(
        "    read-back floor %.1f ms (%s): median %.3f x floor, max %.3f x floor", floorMs,
        tcp ? Line("%d x %d ms pause", wire.queries, LinkTimings::Production().tcpPauseMs).c_str()
            : Line("%lld bytes at %d baud", wire.queryBytes + wire.replyBytes, kSerialBaud).c_str(),
        status.medianUs / 1000 / floorMs, status.maxUs / 1000 / floorMs));
    return true;
}

} // namespace

std::vector<BenchCase> CtlCases() {
    return {
        {"ctl-tcp", [](BenchContext& ctx) { return MeasureCtl(ctx, true); }},
        {"ctl-serial", [](BenchContext& ctx) { return MeasureCtl(ctx, false); }},
    };
}

} // namespace qvc::bench
