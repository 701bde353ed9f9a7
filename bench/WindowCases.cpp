// The main window's measurements. Each one runs qvc_bench_window
// (WindowRunner.cpp) in a child process of its own, so that its times and its
// memory are those of the program alone: whole read-backs of the demo
// 16 x 16 switcher over TCP and over the serial link paced at 57600 baud,
// with the peak resident memory of the process that did them; the time
// from process start to the window shown; and the pages driven as a user
// drives them: a level slider dragged by keyboard, configuration files
// loaded and saved, the preset sequencer running and preset previews; and
// what an open wire log costs a read-back.
#include "Bench.h"
#include "ReadBackWire.h"
#include "SimProcess.h"
#include "WindowRun.h"
#include "link/LinkTimings.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <chrono>
#include <climits>
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
constexpr int kRepeatKeyMs = 33;    // a held key's repeat
constexpr int kDrags = 3;           // per window process and key pace
constexpr int kConfigRuns = 20;
constexpr int kPreviewClicks = 20;
constexpr int kSecondMs = 250; // the sequencer's rows say 4 s: a step every second
constexpr int kStepMs = 4 * kSecondMs;
constexpr double kTcpTargetMs = 2400;
constexpr double kSerialTargetRatio = 1.15;
constexpr double kStartupTargetMs = 500;
constexpr double kMemoryTargetMb = 80;
constexpr double kKbPerMb = 1024;

const QStringList kDemo = {"--model", "3", "--demo"};
constexpr const char* kSimBaudOption = "--baud";
constexpr const char* kSimLogOption = "--log";

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

ChildReport RunWindow(const BenchContext& ctx, const QStringList& arguments,
                      int timeoutMs = kChildMs) {
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
    if (!child.waitForStarted(timeoutMs)) {
        report.failure = "cannot start " + ctx.windowProgram.toStdString() + ": " +
                         child.errorString().toStdString();
        return report;
    }
    if (!child.waitForFinished(timeoutMs)) {
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

// What the wire log costs a read-back: read-backs through the menu item with
// the wire log closed and open (its model receiving every exchange), in
// window processes taken in turn, so that a drift of the machine falls on
// both. A read-back holds deliberate pauses (100 ms before each TCP query),
// so the medians of several are compared.
constexpr int kWireLogProcessPairs = 3;
constexpr int kWireLogReads = 5;
constexpr double kWireLogTargetPercent = 2;

bool MeasureWireLogCost(BenchContext& ctx, bool tcp) {
    const std::string name = tcp ? "tcp" : "serial";
    QStringList simArguments = kDemo;
    if (!tcp) {
        simArguments << kSimBaudOption << QString::number(kSerialBaud);
    }
    SimProcess sim(ctx.simulatorProgram, ctx.workDir + "/wirelog-" + QString::fromStdString(name),
                   simArguments);
    if (!sim.Ready()) {
        ctx.report("  simulator: " + sim.Error().toStdString());
        return false;
    }
    std::vector<double> reads[2]; // closed, open
    for (int pair = 0; pair < kWireLogProcessPairs; ++pair) {
        for (int open = 0; open < 2; ++open) {
            QStringList arguments = {kReadBackMode,
                                     tcp ? kTcpOption : kPtyOption,
                                     tcp ? QString::number(sim.TcpPort()) : sim.PtyPath(),
                                     kReadsOption,
                                     QString::number(kWireLogReads)};
            if (open == 1) {
                arguments << kWireLogOption << QStringLiteral("1");
            }
            const ChildReport report = RunWindow(ctx, arguments);
            if (!report.ok) {
                ctx.report("  wire log " + name + ":" + report.failure);
                return false;
            }
            const auto queries = static_cast<int>(report.Last(kQueries));
            if (open == 1 && report.Last(kWireLogRows) != queries * kWireLogReads) {
                ctx.report(Line("  wire log %s: %.0f rows for %d read-backs of %d queries",
                                name.c_str(), report.Last(kWireLogRows), kWireLogReads, queries));
                return false;
            }
            const std::vector<double>& times = report.All(kReadBackUs);
            reads[open].insert(reads[open].end(), times.begin(), times.end());
        }
    }
    const Summary closed = Summarise(reads[0]);
    const Summary open = Summarise(reads[1]);
    ctx.report(TimeLine(("window " + name + ": read-back, wire log closed").c_str(), closed));
    ctx.report(TimeLine(("window " + name + ": read-back, wire log open").c_str(), open));
    const double percent = 100.0 * (open.medianUs - closed.medianUs) / closed.medianUs;
    ctx.report(Line("    cost of the open wire log: %+.2f %% of the median; target <= %.0f %%: %s",
                    percent, kWireLogTargetPercent,
                    percent <= kWireLogTargetPercent ? "met" : "missed"));
    return true;
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

std::string Values(const std::vector<double>& values) {
    QStringList texts;
    for (double v : values) {
        texts << QString::number(static_cast<long long>(v));
    }
    return texts.join(' ').toStdString();
}

// A simulator of the demo 16 x 16 switcher logging what it receives, its
// replies paced at 57600 baud on the serial link.
struct LoggingSim {
    LoggingSim(BenchContext& ctx, const QString& name, bool tcp)
        : logPath(ctx.workDir + "/" + name + ".log"),
          sim(ctx.simulatorProgram, ctx.workDir + "/" + name, Arguments(tcp, logPath)) {
        if (!sim.Ready()) {
            ctx.report("  simulator: " + sim.Error().toStdString());
        }
    }
    static QStringList Arguments(bool tcp, const QString& log) {
        QStringList arguments = kDemo;
        if (!tcp) {
            arguments << kSimBaudOption << QString::number(kSerialBaud);
        }
        return arguments << kSimLogOption << log;
    }
    QStringList LinkArguments(bool tcp) const {
        return {tcp ? kTcpOption : kPtyOption,
                tcp ? QString::number(sim.TcpPort()) : sim.PtyPath()};
    }

    QString logPath;
    SimProcess sim;
};

// AudioTrackBar3 dragged from 0 to 252 by 252 Right-arrow presses, at a held
// key's repeat and all queued at once, delivered to the widget with the
// focus as a keyboard's are; on the serial link, where the slider loses the
// focus, also straight to the slider. The ALVL lines the simulator received
// during each drag come from its log.
bool MeasureWindowAudio(BenchContext& ctx, bool tcp) {
    const std::string name = tcp ? "tcp" : "serial";
    LoggingSim sim(ctx, QString("audio-%1").arg(QString::fromStdString(name)), tcp);
    if (!sim.sim.Ready()) {
        return false;
    }
    struct Variant {
        int keyMs;
        const char* keysTo;
    };
    std::vector<Variant> variants = {{kRepeatKeyMs, kToFocus}, {0, kToFocus}};
    if (!tcp) {
        variants.push_back({kRepeatKeyMs, kToSlider});
        variants.push_back({0, kToSlider});
    }
    for (const Variant& v : variants) {
        const ChildReport r = RunWindow(
            ctx, QStringList{kAudioMode} << sim.LinkArguments(tcp) << kRunsOption
                                         << QString::number(kDrags) << kKeyMsOption
                                         << QString::number(v.keyMs) << kKeysToOption << v.keysTo);
        if (!r.ok) {
            ctx.report("  window audio " + name + ":" + r.failure);
            return false;
        }
        const std::vector<LoggedLine> log = ReadSimLog(sim.logPath);
        std::vector<double> received;
        for (std::size_t d = 0; d < r.All(kDragStartMs).size(); ++d) {
            received.push_back(CountLogged(log, QStringLiteral("ALVL 3 "),
                                           static_cast<long long>(r.All(kDragStartMs)[d]),
                                           static_cast<long long>(r.All(kDragEndMs)[d])));
        }
        const bool toFocus = std::string(v.keysTo) == kToFocus;
        ctx.report(Line("window %s: AudioTrackBar3 0 to 252, 252 Right presses %s, to %s",
                        name.c_str(),
                        v.keyMs > 0 ? Line("one every %d ms", v.keyMs).c_str() : "queued at once",
                        toFocus ? "the focus" : "the slider"));
        ctx.report("    per drag: ALVL lines received " + Values(received) + "; slider at " +
                   Values(r.All(kSliderEnd)) + "; changes handled " +
                   Values(r.All(kSliderChanges)) + "; slider kept the focus " +
                   Values(r.All(kFocusKept)));
        const std::vector<double>& ends = r.All(kSliderEnd);
        const bool reachedEnd = !ends.empty() && std::all_of(ends.begin(), ends.end(),
                                                             [](double e) { return e == 252; });
        if (reachedEnd && r.All(kKeyToAckUs).size() == ends.size()) {
            ctx.report(TimeLine("    last key to the last change answered",
                                Summarise(r.All(kKeyToAckUs))));
            ctx.report(TimeLine("    first key to it", Summarise(r.All(kDragUs))));
        } else {
            ctx.report("    the slider did not reach 252: the presses after it lost the focus "
                       "went to no slider");
        }
        std::vector<double> percent;
        for (std::size_t d = 0; d < r.All(kCpuUs).size() && d < r.All(kCpuSpanUs).size(); ++d) {
            const double spanUs = std::max(r.All(kCpuSpanUs)[d], 1.0);
            percent.push_back(100.0 * r.All(kCpuUs)[d] / spanUs);
        }
        const Summary cpu = Summarise(r.All(kCpuUs));
        const Summary share = Summarise(percent);
        const Summary span = Summarise(r.All(kCpuSpanUs));
        ctx.report(Line("    CPU of the window process: median %.1f ms over %.1f ms (%.1f %%), "
                        "max %.1f ms",
                        cpu.medianUs / 1000, span.medianUs / 1000, share.medianUs,
                        cpu.maxUs / 1000));
    }
    return true;
}

// The File menu's configuration items, with the file name scripted.
bool MeasureWindowConfig(BenchContext& ctx) {
    LoggingSim sim(ctx, "config", true);
    const QString dir = ctx.workDir + "/config-files";
    if (!sim.sim.Ready() || !QDir().mkpath(dir)) {
        return false;
    }
    const ChildReport r =
        RunWindow(ctx, QStringList{kConfigMode} << sim.LinkArguments(true) << kDirOption << dir
                                                << kRunsOption << QString::number(kConfigRuns));
    if (!r.ok) {
        ctx.report("  window config:" + r.failure);
        return false;
    }
    const auto us = [](const Summary& s, const char* what) {
        return Line("%-44s n=%-5zu median %9.2f ms   max %9.2f ms", what, s.count,
                    s.medianUs / 1000, s.maxUs / 1000);
    };
    ctx.report(us(Summarise(r.All(kSaveUs)), "window: save configuration (pack + write)"));
    ctx.report(us(Summarise(r.All(kLoadUs)), "window: load configuration (read + apply)"));
    ctx.report(us(Summarise(r.All(kReadUs)), "    of which the file read alone"));
    ctx.report(us(Summarise(r.All(kApplyUs)), "    and the apply to every page"));
    ctx.report(us(Summarise(r.All(kRepaintUs)), "    then the pending events (repaint)"));
    const int sent = CountLogged(ReadSimLog(sim.logPath), QString(), 0, LLONG_MAX);
    ctx.report(Line("    lines the simulator received in all (connection and read-back "
                    "included): %d",
                    sent));
    return true;
}

// The preset sequencer stepping every second for ctx.sequenceSteps steps.
bool MeasureWindowSequence(BenchContext& ctx, bool tcp) {
    const std::string name = tcp ? "tcp" : "serial";
    LoggingSim sim(ctx, QString("sequence-%1").arg(QString::fromStdString(name)), tcp);
    if (!sim.sim.Ready()) {
        return false;
    }
    const int steps = ctx.sequenceSteps;
    const ChildReport r =
        RunWindow(ctx,
                  QStringList{kSequenceMode} << sim.LinkArguments(tcp) << kStepsOption
                                             << QString::number(steps) << kSecondMsOption
                                             << QString::number(kSecondMs),
                  kChildMs + 2 * steps * kStepMs);
    if (!r.ok) {
        ctx.report("  window sequence " + name + ":" + r.failure);
        return false;
    }
    std::vector<double> lateness = r.All(kLatenessUs);
    const Summary late = Summarise(lateness);
    const double earliestUs =
        lateness.empty() ? 0 : *std::min_element(lateness.begin(), lateness.end());
    ctx.report(
        Line("window %s: preset sequencer, %zu steps of %d ms", name.c_str(), late.count, kStepMs));
    ctx.report(Line("    lateness against the due time: median %.2f ms, max %.2f ms, "
                    "min %.2f ms",
                    late.medianUs / 1000, late.maxUs / 1000, earliestUs / 1000));
    const Summary recall = Summarise(r.All(kRecallUs));
    ctx.report(Line("    step handler (recall on the link, pages refreshed): median %.2f ms, "
                    "max %.2f ms",
                    recall.medianUs / 1000, recall.maxUs / 1000));
    ctx.report(Line("    last step %.1f ms after Start + %d x %d ms; steps put off for a busy "
                    "link: %.0f",
                    r.Last(kDriftUs) / 1000, steps, kStepMs, r.Last(kWaitTicks)));
    const double runUs = r.Last(kRunUs);
    ctx.report(Line("    CPU of the window process: %.1f ms over %.1f s = %.3f %%",
                    r.Last(kCpuUs) / 1000, runUs / 1e6,
                    runUs > 0 ? 100.0 * r.Last(kCpuUs) / runUs : 0.0));
    const std::vector<LoggedLine> log = ReadSimLog(sim.logPath);
    ctx.report(Line("    RPRST lines the simulator received: %d (Start and %d steps)",
                    CountLogged(log, QStringLiteral("RPRST "), 0, LLONG_MAX), steps));
    return true;
}

// Preset previews: a preset button clicked while the panel is recalling.
bool MeasureWindowPreview(BenchContext& ctx) {
    LoggingSim sim(ctx, "preview", true);
    if (!sim.sim.Ready()) {
        return false;
    }
    const ChildReport r =
        RunWindow(ctx, QStringList{kPreviewMode} << sim.LinkArguments(true) << kRunsOption
                                                 << QString::number(kPreviewClicks));
    if (!r.ok) {
        ctx.report("  window preview:" + r.failure);
        return false;
    }
    const auto ms = [](const Summary& s, const char* what) {
        return Line("%-44s n=%-5zu median %9.2f ms   max %9.2f ms", what, s.count,
                    s.medianUs / 1000, s.maxUs / 1000);
    };
    ctx.report(ms(Summarise(r.All(kPreviewUs)), "window: preset click to the pages refreshed"));
    ctx.report(ms(Summarise(r.All(kRepaintUs)), "    then the pending events (repaint)"));
    const Summary changes = Summarise(r.All(kShownChanges));
    ctx.report(Line("    switching page labels and buttons changed per click: median %.0f, "
                    "max %.0f",
                    changes.medianUs, changes.maxUs));
    return true;
}

} // namespace

std::vector<BenchCase> WindowCases() {
    return {
        {"window-tcp", [](BenchContext& ctx) { return MeasureWindowReadBack(ctx, true); }},
        {"window-serial", [](BenchContext& ctx) { return MeasureWindowReadBack(ctx, false); }},
        {"window-startup", MeasureStartup},
        {"window-audio-tcp", [](BenchContext& ctx) { return MeasureWindowAudio(ctx, true); }},
        {"window-audio-serial", [](BenchContext& ctx) { return MeasureWindowAudio(ctx, false); }},
        {"window-config", MeasureWindowConfig},
        {"window-sequence-tcp", [](BenchContext& ctx) { return MeasureWindowSequence(ctx, true); }},
        {"window-sequence-serial",
         [](BenchContext& ctx) { return MeasureWindowSequence(ctx, false); }},
        {"window-preview", MeasureWindowPreview},
        {"wirelog-tcp", [](BenchContext& ctx) { return MeasureWireLogCost(ctx, true); }},
        {"wirelog-serial", [](BenchContext& ctx) { return MeasureWireLogCost(ctx, false); }},
    };
}

} // namespace qvc::bench
