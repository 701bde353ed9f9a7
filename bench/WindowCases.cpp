// The main window's measurements. Each one runs qvc_bench_window
// (WindowRunner.cpp) in a child process of its own, so that its times and its
// memory are those of the program alone: whole read-backs of the demo
// 16 x 16 switcher over TCP and over the serial link paced at 57600 baud,
// with the peak resident memory of the process that did them, and the time
// from process start to the window shown.
#include "Bench.h"
#include "ReadBackWire.h"
#include "SimProcess.h"
#include "WindowRun.h"
#include "link/LinkTimings.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

namespace qvc::bench {

namespace {

using namespace window;

constexpr int kReadBackProcesses = 3; // window processes per link
constexpr int kReadsPerProcess = 3;   // timed read-backs in each, after the connecting one
constexpr int kStartupRuns = 9;
constexpr int kChildMs = 120000;
constexpr int kSerialBaud = 57600;
constexpr double kBitsPerByte = 10; // start bit, 8 data bits, stop bit
constexpr double kTcpTargetMs = 2400;
constexpr double kSerialTargetRatio = 1.15;
constexpr double kStartupTargetMs = 500;
constexpr double kMemoryTargetMb = 80;
constexpr double kKbPerMb = 1024;

const QStringList kDemo = {"--model", "3", "--demo"};
constexpr const char* kSimBaudOption = "--baud";

// What one run of qvc_bench_window reported: its "key value" lines.
struct ChildReport {
    bool ok = false;
    std::map<std::string, std::vector<double>> values;
    std::string failure; // what a failed run printed

    const std::vector<double>& All(const char* key) const {
        static const std::vector<double> kNone;
        const auto it = values.find(key);
        return it == values.end() ? kNone : it->second;
    }
    double Last(const char* key) const { return All(key).empty() ? 0 : All(key).back(); }
};

ChildReport RunWindow(const BenchContext& ctx, const QStringList& arguments) {
    ChildReport report;
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto startNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
    environment.insert(kStartVariable, QString::number(startNs));
    child.setProcessEnvironment(environment);
    child.start(ctx.windowProgram, arguments);
    if (!child.waitForStarted(kChildMs)) {
        report.failure = "cannot start " + ctx.windowProgram.toStdString() + ": " +
                         child.errorString().toStdString();
        return report;
    }
    if (!child.waitForFinished(kChildMs)) {
        report.failure = "qvc_bench_window did not finish: " + child.errorString().toStdString();
        child.kill();
        child.waitForFinished();
        return report;
    }
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space <= 0) {
            continue;
        }
        const std::string key = line.left(space).toStdString();
        bool number = false;
        const double value = line.mid(space + 1).trimmed().toDouble(&number);
        if (number && key != kError && key != kUnexpectedPrompt) {
            report.values[key].push_back(value);
        } else {
            report.failure += "\n    " + line.toStdString();
        }
    }
    report.ok = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                report.failure.empty();
    if (!report.ok) {
        report.failure += "\n    " + child.readAllStandardError().trimmed().toStdString();
    }
    return report;
}

// "met" when the maximum is within the target, "median only" when the median
// is, "missed" otherwise.
const char* Verdict(double median, double max, double target) {
    return max <= target ? "met" : median <= target ? "median only" : "missed";
}

std::string Line(const char* format, auto... values) {
    char line[300];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

std::string TimeLine(const char* what, const Summary& s) {
    return Line("%-44s n=%-5zu median %9.1f ms   max %9.1f ms", what, s.count, s.medianUs / 1000,
                s.maxUs / 1000);
}

// Read-backs through the "Read from Quorvel" menu item of the window, over
// TCP or the pty (COM1), each process connecting first as a user does.
bool MeasureWindowReadBack(BenchContext& ctx, bool tcp) {
    const std::string name = tcp ? "tcp" : "serial";
    QStringList simArguments = kDemo;
    if (!tcp) {
        simArguments << kSimBaudOption << QString::number(kSerialBaud);
    }
    SimProcess sim(ctx.simulatorProgram, ctx.workDir + "/window-" + QString::fromStdString(name),
                   simArguments);
    if (!sim.Ready()) {
        ctx.report("  simulator: " + sim.Error().toStdString());
        return false;
    }
    const QStringList arguments = {kReadBackMode, tcp ? kTcpOption : kPtyOption,
                                   tcp ? QString::number(sim.TcpPort()) : sim.PtyPath(),
                                   kReadsOption, QString::number(kReadsPerProcess)};
    std::vector<double> reads;
    std::vector<double> repaints;
    std::vector<double> peaksKb;
    ChildReport last;
    for (int run = 0; run < kReadBackProcesses; ++run) {
        last = RunWindow(ctx, arguments);
        if (!last.ok) {
            ctx.report("  window " + name + ":" + last.failure);
            return false;
        }
        reads.insert(reads.end(), last.All(kReadBackUs).begin(), last.All(kReadBackUs).end());
        repaints.insert(repaints.end(), last.All(kRepaintUs).begin(), last.All(kRepaintUs).end());
        peaksKb.push_back(last.Last(kPeakResidentKb));
    }
    const Summary read = Summarise(reads);
    const double medianMs = read.medianUs / 1000;
    const double maxMs = read.maxUs / 1000;
    const auto queries = static_cast<int>(last.Last(kQueries));
    ctx.report(
        TimeLine(Line("window %s: read-back, %d queries", name.c_str(), queries).c_str(), read));
    ReadBackWire wire;
    wire.queries = queries;
    wire.queryBytes = static_cast<long long>(last.Last(kQueryBytes));
    wire.replyBytes = static_cast<long long>(last.Last(kReplyBytes));
    wire.payloadBytes = static_cast<long long>(last.Last(kPayloadBytes));
    if (tcp) {
        const double floorMs = TcpFloorMs(wire);
        ctx.report(Line("    floor %.0f ms (%d x %d ms pause): median %.3f x floor; "
                        "target <= %.0f ms: %s",
                        floorMs, queries, LinkTimings::Production().tcpPauseMs, medianMs / floorMs,
                        kTcpTargetMs, Verdict(medianMs, maxMs, kTcpTargetMs)));
    } else {
        const double bytesPerSecond = kSerialBaud / kBitsPerByte;
        const double floorMs = SerialFloorMs(wire, kSerialBaud);
        ctx.report(Line("    floor %.1f ms = %lld bytes (queries %lld with CR, replies %lld with "
                        "%lld payload) at %.0f bytes/s",
                        floorMs, wire.queryBytes + wire.replyBytes, wire.queryBytes,
                        wire.replyBytes, wire.payloadBytes, bytesPerSecond));
        // The simulator paces what it sends; the query lines reach it at once.
        ctx.report(Line("    (the simulator paces its replies only: %.1f ms)",
                        SerialReplyMs(wire, kSerialBaud)));
        ctx.report(Line("    ratio to the floor: median %.3f, max %.3f; target <= %.2f: %s",
                        medianMs / floorMs, maxMs / floorMs, kSerialTargetRatio,
                        Verdict(medianMs / floorMs, maxMs / floorMs, kSerialTargetRatio)));
    }
    const Summary repaint = Summarise(repaints);
    ctx.report(Line("    then the pending events (repaint): median %.1f ms, max %.1f ms",
                    repaint.medianUs / 1000, repaint.maxUs / 1000));

    std::sort(peaksKb.begin(), peaksKb.end());
    const double medianMb = peaksKb[peaksKb.size() / 2] / kKbPerMb;
    const double maxMb = peaksKb.back() / kKbPerMb;
    ctx.report(Line("%-44s n=%-5zu median %9.1f MB   max %9.1f MB   target < %.0f MB: %s",
                    ("window " + name + ": peak resident memory (VmHWM)").c_str(), peaksKb.size(),
                    medianMb, maxMb, kMemoryTargetMb, Verdict(medianMb, maxMb, kMemoryTargetMb)));
    return true;
}

// From process start to the window's first show event, and on to the
// start-up question, in a fresh process each time.
bool MeasureStartup(BenchContext& ctx) {
    std::vector<double> shown;
    std::vector<double> asked;
    for (int run = 0; run < kStartupRuns; ++run) {
        const ChildReport r = RunWindow(ctx, {kStartupMode});
        if (!r.ok) {
            ctx.report("  window start-up:" + r.failure);
            return false;
        }
        shown.push_back(r.Last(kShownUs));
        asked.push_back(r.Last(kAskedUs));
    }
    const Summary show = Summarise(shown);
    ctx.report(TimeLine("window: process start to the first show", show) +
               Line("   target < %.0f ms: %s", kStartupTargetMs,
                    Verdict(show.medianUs / 1000, show.maxUs / 1000, kStartupTargetMs)));
    ctx.report(TimeLine("window: process start to start-up question", Summarise(asked)));
    return true;
}

} // namespace

std::vector<BenchCase> WindowCases() {
    return {
        {"window-tcp", [](BenchContext& ctx) { return MeasureWindowReadBack(ctx, true); }},
        {"window-serial", [](BenchContext& ctx) { return MeasureWindowReadBack(ctx, false); }},
        {"window-startup", MeasureStartup},
    };
}

} // namespace qvc::bench
