// quorvel-sim: runs the switcher simulator until SIGINT or SIGTERM.
#include "Simulator.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv) {
    const qvsim::ParseOutcome outcome = qvsim::ParseOptions(argc, argv);
    if (outcome.kind == qvsim::ParseOutcome::Kind::Help) {
        std::cout << outcome.message;
        return 0;
    }
    if (outcome.kind == qvsim::ParseOutcome::Kind::Error) {
        std::cerr << "quorvel-sim: " << outcome.message << "\n"
                  << "Try 'quorvel-sim --help' for the list of options.\n";
        return outcome.ExitCode();
    }

    QCoreApplication app(argc, argv);
    // Signals reach the event loop through a self-pipe.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        std::perror("quorvel-sim: socketpair");
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    qvsim::Simulator simulator(outcome.options);
    std::string error;
    if (!simulator.Start(&error)) {
        std::cerr << "quorvel-sim: " << error << "\n";
        return 1;
    }
    if (outcome.options.tcp) {
        std::cout << "listening on tcp " << simulator.TcpAddress() << ":" << simulator.TcpPort()
                  << std::endl;
    }
    if (!outcome.options.ptyPath.empty()) {
        std::cout << "pty " << simulator.PtyPath() << " -> " << simulator.SlavePath() << std::endl;
    }
    const int rc = QCoreApplication::exec();
    simulator.Stop();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    return rc;
}
