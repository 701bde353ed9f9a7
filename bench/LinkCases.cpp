// The link's measurements: command round trips and a large status query on
// both links, and the CPU a timed-out prompt wait costs.
#include "Bench.h"
#include "SimProcess.h"
#include "link/LinkState.h"
#include "link/LinkTimings.h"
#include "protocol/Commands.h"

#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <memory>

namespace qvc::bench {

namespace {

constexpr int kWarmUp = 20;
constexpr int kQueryRuns = 200;
constexpr int kTcpQueryRuns = 50;       // each one pauses 100 ms before it sends
constexpr int kPresetTableBytes = 1568; // PINFOQV payload of a 16 x 16 switcher

std::string Format(const char* what, const Summary& s) {
    char line[200];
    std::snprintf(line, sizeof line, "%-44s n=%-5zu median %9.1f us   p99 %9.1f us", what, s.count,
                  s.medianUs, s.p99Us);
    return line;
}

// One link to a demo 16 x 16 simulator, connected over the pty (COM1) or TCP.
struct Peer {
    Peer(BenchContext& ctx, const QString& name, const QStringList& simArguments,
         LinkTimings timings = LinkTimings::Production())
        : sim(ctx.simulatorProgram, ctx.workDir + "/" + name, simArguments) {
        if (sim.Ready()) {
            link = std::make_unique<DeviceLink>(state, host, prompts,
                                                SerialPortMap({sim.PtyPath(), {}, {}, {}}), timings,
                                                sim.TcpPort());
        } else {
            ctx.report("  simulator: " + sim.Error().toStdString());
        }
    }
    bool ConnectSerial() {
        if (!link || link->SearchPorts(1) != 1) {
            return false;
        }
        link->SetSerialConnected(true);
        return true;
    }
    bool ConnectTcp() {
        return link && link->TcpConnect("127.0.0.1") == DeviceLink::TcpOutcome::Probed;
    }

    SimProcess sim;
    LinkState state;
    QuietHost host;
    CountingPrompts prompts;
    std::unique_ptr<DeviceLink> link;
};

const QStringList kDemo = {"--model", "3", "--demo"};

bool MeasureLink(BenchContext& ctx, bool tcp) {
    const char* linkName = tcp ? "tcp" : "serial";
    Peer peer(ctx, QString("bench-%1").arg(linkName), kDemo);
    if (!(tcp ? peer.ConnectTcp() : peer.ConnectSerial())) {
        ctx.report(std::string("  ") + linkName + ": no switcher found");
        return false;
    }
    DeviceLink& link = *peer.link;
    const std::string command = cmd::Fplock(false);
    const Summary commands = TimeRuns(ctx.runs, kWarmUp, [&] { link.SendCommand(command); });
    ctx.report(
        Format((std::string(linkName) + ": command round trip (FPLOCK 0)").c_str(), commands));

    int failures = 0;
    const Summary queries = TimeRuns(tcp ? kTcpQueryRuns : kQueryRuns, tcp ? 2 : kWarmUp, [&] {
        if (!link.QueryStatus(cmd::kPinfoqv, kPresetTableBytes)) {
            ++failures;
        }
    });
    ctx.report(Format((std::string(linkName) + ": PINFOQV, 1568-byte payload").c_str(), queries));
    if (failures > 0 || peer.prompts.count > 0) {
        ctx.report("  failures: " + std::to_string(failures) + ", messages: " +
                   std::to_string(peer.prompts.count) + " " + peer.prompts.last.toStdString());
        return false;
    }
    return true;
}

// The TCP query without its fixed 100 ms pause: the link's own cost.
bool MeasureTcpQueryWithoutPause(BenchContext& ctx) {
    LinkTimings timings = LinkTimings::Production();
    timings.tcpPauseMs = 0;
    Peer peer(ctx, "bench-tcp-nopause", kDemo, timings);
    if (!peer.ConnectTcp()) {
        ctx.report("  tcp: no switcher found");
        return false;
    }
    const Summary queries = TimeRuns(
        kQueryRuns, kWarmUp, [&] { peer.link->QueryStatus(cmd::kPinfoqv, kPresetTableBytes); });
    ctx.report(Format("tcp: PINFOQV without the 100 ms pause", queries));
    return true;
}

// A command to a silent switcher: the 80-tick (4400 ms) prompt wait runs out.
// The wait blocks in the port's wait for data; it must not spin.
bool MeasurePromptWaitCpu(BenchContext& ctx) {
    Peer peer(ctx, "bench-silent", {"--silent"});
    if (!peer.link) {
        return false;
    }
    DeviceLink& link = *peer.link;
    if (link.OpenAndCheckPort(1) != DeviceLink::PortSilent) {
        ctx.report("  silent switcher: port not open");
        return false;
    }
    const double cpuBefore = ProcessCpuUs();
    QElapsedTimer wall;
    wall.start();
    const bool acknowledged = link.AwaitPrompt(cmd::Fplock(false));
    const double wallUs = static_cast<double>(wall.nsecsElapsed()) / 1000.0;
    const double cpuUs = ProcessCpuUs() - cpuBefore;
    char line[200];
    std::snprintf(line, sizeof line, "%-44s wait %7.1f ms   CPU %7.2f ms = %5.3f %% of the wait%s",
                  "serial: prompt wait running out (80 ticks)", wallUs / 1000.0, cpuUs / 1000.0,
                  100.0 * cpuUs / wallUs, acknowledged ? "  (unexpectedly acknowledged)" : "");
    ctx.report(line);
    return !acknowledged;
}

} // namespace

std::vector<BenchCase> AllCases() {
    std::vector<BenchCase> cases = {
        {"serial", [](BenchContext& ctx) { return MeasureLink(ctx, false); }},
        {"tcp", [](BenchContext& ctx) { return MeasureLink(ctx, true); }},
        {"tcp-nopause", MeasureTcpQueryWithoutPause},
        {"prompt-wait-cpu", MeasurePromptWaitCpu},
    };
    for (BenchCase& c : WindowCases()) {
        cases.push_back(std::move(c));
    }
    for (BenchCase& c : CtlCases()) {
        cases.push_back(std::move(c));
    }
    return cases;
}

} // namespace qvc::bench
