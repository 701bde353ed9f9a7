// qvc_bench: measurements of the device link against the simulator running
// in a child process, so that the CPU the benchmark process uses is the
// link's own. Each measurement is one BenchCase; add a case to AllCases()
// (LinkCases.cpp) to measure something new. The window cases
// (WindowCases.cpp) run the main window in a child process of its own,
// qvc_bench_window (WindowRunner.cpp); the client cases (CtlCases.cpp)
// start quorvel-ctl once per command; the bridge cases (BridgeCases.cpp) run
// quorvel-bridge in a child process with their clients in this one.
#pragma once

#include "link/DeviceLink.h"
#include "link/NullLinkHost.h"
#include "link/Prompts.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

namespace qvc::bench {

// Median, 99th percentile and maximum of a set of durations, in microseconds.
struct Summary {
    std::size_t count = 0;
    double medianUs = 0;
    double p99Us = 0;
    double maxUs = 0;
};
Summary Summarise(std::vector<double> samplesUs);

// Runs `once` n times (after `warmUp` untimed runs) and times each run.
Summary TimeRuns(int n, int warmUp, const std::function<void()>& once);

// CPU time (user + system) of this process so far, in microseconds.
double ProcessCpuUs();

// A host and prompts that show nothing; the prompts count what would have
// been shown, so that a case can tell a run that failed.
using QuietHost = NullLinkHost;

class CountingPrompts : public Prompts {
  public:
    void Message(const QString& text) override { Note(text); }
    void MessageWithTitle(const QString&, const QString& text) override { Note(text); }
    bool YesNo(const QString&, const QString& text) override { return Note(text), false; }
    bool OkCancel(const QString&, const QString& text) override { return Note(text), false; }
    void Error(const QString& text) override { Note(text); }
    QString OpenFileName(const QString&) override { return {}; }
    QString SaveFileName(const QString&) override { return {}; }

    int count = 0;
    QString last;

  private:
    void Note(const QString& text) {
        ++count;
        last = text;
    }
};

// What every case gets: where the simulator is, and where to report.
struct BenchContext {
    QString simulatorProgram; // the quorvel-sim executable
    QString windowProgram;    // the qvc_bench_window executable
    QString ctlProgram;       // the quorvel-ctl executable
    QString bridgeProgram;    // the quorvel-bridge executable
    QString workDir;          // for pty symlinks
    int runs = 1000;          // timed runs of the fast measurements
    int sequenceSteps = 100;  // steps of the preset sequencer cases
    std::function<void(const std::string&)> report;
};

struct BenchCase {
    std::string name;
    // Runs the case; false when it could not be measured (reported already).
    std::function<bool(BenchContext&)> run;
};

std::vector<BenchCase> AllCases();    // the link cases, the window cases, the client cases
std::vector<BenchCase> WindowCases(); // read-backs in the window, start-up time, pages driven
std::vector<BenchCase> CtlCases();    // quorvel-ctl, a process per command
// quorvel-bridge's HTTP and WebSocket API; main() runs them after AllCases().
std::vector<BenchCase> BridgeCases();
// quorvel-bridge's MQTT front against Mosquitto, one bridge and a fleet.
std::vector<BenchCase> MqttCases();

} // namespace qvc::bench
