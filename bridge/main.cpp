// quorvel-bridge: the switcher on the network (see Bridge.h).
#include "bridge/Bridge.h"
#include "bridge/Mqtt.h"
#include "bridge/Options.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void Log(const QString& line) {
    std::fprintf(stderr, "quorvel-bridge: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-bridge"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QVC_VERSION));
    const qvc::bridge::ParsedOptions parsed =
        qvc::bridge::ParseOptions(QCoreApplication::arguments().mid(1));
    switch (parsed.action) {
    case qvc::bridge::ParsedOptions::Action::Help:
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return 0;
    case qvc::bridge::ParsedOptions::Action::Version:
        std::printf("quorvel-bridge %s\n", QVC_VERSION);
        return 0;
    case qvc::bridge::ParsedOptions::Action::Error:
        std::fprintf(stderr, "quorvel-bridge: %s\n", parsed.text.toLocal8Bit().constData());
        return 2;
    case qvc::bridge::ParsedOptions::Action::Run:
        break;
    }
    // SIGTERM and SIGINT reach the event loop through a socket pair: the
    // exchange in progress ends first, then the link closes.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        Log(QStringLiteral("cannot set up the signal handling"));
        return 1;
    }
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    qvc::bridge::Bridge bridge(parsed.options, Log);
    std::unique_ptr<qvc::bridge::Mqtt> mqtt;
    if (parsed.options.mqtt.Enabled()) {
        mqtt = std::make_unique<qvc::bridge::Mqtt>(bridge, parsed.options.mqtt, Log);
    }
    QObject::connect(&notifier, &QSocketNotifier::activated, &bridge, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        notifier.setEnabled(false);
        Log(QStringLiteral("stopping"));
        bridge.Stop();
    });
    // The last state (the link closed) goes out before "offline".
    QObject::connect(
        &bridge, &qvc::bridge::Bridge::stopped, &app,
        [&] {
            if (mqtt) {
                mqtt->Stop();
            }
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
    QString error;
    if (!bridge.Start(error)) {
        std::fprintf(stderr, "quorvel-bridge: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    if (mqtt) {
        mqtt->Start();
    }
    return QCoreApplication::exec();
}
