#include "LineMonitor.h"

namespace qvc {

namespace {

constexpr int kLampPollMs = 100;
constexpr qint64 kActivityMs = 100; // how long TXD/RXD stay lit after traffic

} // namespace

LineMonitor::LineMonitor(const LinkContext& context, QSerialPort& port)
    : ctx_(context), port_(port) {
    QObject::connect(&lampTimer_, &QTimer::timeout, &ctx_.owner, [this] { PollLamps(); });
}

LineMonitor::~LineMonitor() {
    lampTimer_.disconnect(&ctx_.owner);
}

void LineMonitor::SetMonitoring(bool on) {
    if (on) {
        if (!lampTimer_.isActive()) {
            lampTimer_.start(kLampPollMs);
        }
        PollLamps();
    } else {
        lampTimer_.stop();
        lampsShown_ = false;
        PushLamps(LineLamps{});
    }
}

void LineMonitor::Sent() {
    Flash(txdSince_, &LineLamps::txd);
}

void LineMonitor::Received(const QByteArray& bytes) {
    ctx_.host.TerminalReceived(bytes);
    Flash(rxdSince_, &LineLamps::rxd);
}

// Lights a traffic lamp at once; the poll puts it out when its time is up.
void LineMonitor::Flash(QElapsedTimer& since, bool LineLamps::*lamp) {
    since.start();
    if (lampTimer_.isActive() && !(lamps_.*lamp)) {
        LineLamps now = lamps_;
        now.*lamp = true;
        PushLamps(now);
    }
}

void LineMonitor::PollLamps() {
    LineLamps now;
    if (port_.isOpen() && !linesUnsupported_) {
        // A pseudo-terminal cannot report its lines: they then stay unlit.
        readingLines_ = true;
        port_.clearError();
        const QSerialPort::PinoutSignals lines = port_.pinoutSignals();
        const bool failed = port_.error() != QSerialPort::NoError;
        port_.clearError();
        readingLines_ = false;
        if (failed) {
            linesUnsupported_ = true;
        } else {
            now.cts = lines.testFlag(QSerialPort::ClearToSendSignal);
            now.dsr = lines.testFlag(QSerialPort::DataSetReadySignal);
            now.dcd = lines.testFlag(QSerialPort::DataCarrierDetectSignal);
        }
    }
    now.txd = txdSince_.isValid() && txdSince_.elapsed() < kActivityMs;
    now.rxd = rxdSince_.isValid() && rxdSince_.elapsed() < kActivityMs;
    PushLamps(now);
}

void LineMonitor::PushLamps(const LineLamps& now) {
    const bool same = lampsShown_ && now.txd == lamps_.txd && now.rxd == lamps_.rxd &&
                      now.dcd == lamps_.dcd && now.dsr == lamps_.dsr && now.cts == lamps_.cts;
    if (same) {
        return;
    }
    lamps_ = now;
    lampsShown_ = true;
    ctx_.host.SetLineLamps(now);
}

} // namespace qvc
