// qvc_bench [--sim PATH] [--window PATH] [--ctl PATH] [--bridge PATH]
// [--runs N] [--steps N] [--list] [CASE...]: runs the named cases (all by
// default) and prints one line per measurement.
#include "Bench.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <iostream>

#ifndef QVC_SIM_PROGRAM
#define QVC_SIM_PROGRAM "quorvel-sim"
#endif
#ifndef QVC_WINDOW_PROGRAM
#define QVC_WINDOW_PROGRAM "qvc_bench_window"
#endif
#ifndef QVC_CTL_PROGRAM
#define QVC_CTL_PROGRAM "quorvel-ctl"
#endif
#ifndef QVC_BRIDGE_PROGRAM
#define QVC_BRIDGE_PROGRAM "quorvel-bridge"
#endif

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace qvc::bench;

    QTemporaryDir dir;
    BenchContext ctx;
    ctx.simulatorProgram = QStringLiteral(QVC_SIM_PROGRAM);
    ctx.windowProgram = QStringLiteral(QVC_WINDOW_PROGRAM);
    ctx.ctlProgram = QStringLiteral(QVC_CTL_PROGRAM);
    ctx.bridgeProgram = QStringLiteral(QVC_BRIDGE_PROGRAM);
    ctx.workDir = dir.path();
    ctx.report = [](const std::string& line) { std::cout << line << std::endl; };

    std::vector<BenchCase> cases = AllCases();
    for (BenchCase& c : BridgeCases()) {
        cases.push_back(std::move(c));
    }
    for (BenchCase& c : MqttCases()) {
        cases.push_back(std::move(c));
    }

    QStringList wanted;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--sim" && i + 1 < args.size()) {
            ctx.simulatorProgram = args[++i];
        } else if (args[i] == "--window" && i + 1 < args.size()) {
            ctx.windowProgram = args[++i];
        } else if (args[i] == "--ctl" && i + 1 < args.size()) {
            ctx.ctlProgram = args[++i];
        } else if (args[i] == "--bridge" && i + 1 < args.size()) {
            ctx.bridgeProgram = args[++i];
        } else if (args[i] == "--runs" && i + 1 < args.size()) {
            ctx.runs = std::max(1, args[++i].toInt());
        } else if (args[i] == "--steps" && i + 1 < args.size()) {
            ctx.sequenceSteps = std::max(1, args[++i].toInt());
        } else if (args[i] == "--list") {
            for (const BenchCase& c : cases) {
                std::cout << c.name << "\n";
            }
            return 0;
        } else {
            wanted << args[i];
        }
    }

    std::cout << "qvc_bench: " << QSysInfo::prettyProductName().toStdString() << ", "
              << QThread::idealThreadCount() << " cores, simulator in a child process\n";
    int failed = 0;
    for (const BenchCase& c : cases) {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromStdString(c.name))) {
            continue;
        }
        if (!c.run(ctx)) {
            std::cout << c.name << ": could not be measured\n";
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}
