// The TCP half of the link: connect and probe, the command and status
// exchanges, and the socket events with their messages.
#include "DeviceLinkImpl.h"
#include "IpAddress.h"
#include "protocol/ReplyCollector.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QThread>

namespace qvc {

namespace {

constexpr qint64 kProbeReadBytes = 20;
constexpr qint64 kSlotBytes = 100;
constexpr char kLineEnd = '\r';
// Stale input is drained before an exchange, but never for ever.
constexpr int kDrainRounds = 8;

} // namespace

bool DeviceLink::Impl::TcpIsActive() const {
    return socket.state() == QAbstractSocket::ConnectedState;
}

void DeviceLink::Impl::SocketError(QAbstractSocket::SocketError error) {
    // A wait that ran out is reported by the wait itself; a switcher that
    // closes the connection raises the disconnect event, not an error.
    if (error == QAbstractSocket::SocketTimeoutError ||
        error == QAbstractSocket::RemoteHostClosedError) {
        return;
    }
    state.EthernetConnecting = false;
    prompts.Message(SocketErrorText(error, tcpActivity));
}

void DeviceLink::Impl::TcpWrite(const std::string& line) {
    QByteArray bytes(line.data(), static_cast<qsizetype>(line.size()));
    bytes.append(kLineEnd);
    const TcpActivity previous = tcpActivity;
    tcpActivity = TcpActivity::Sending;
    socket.write(bytes);
    socket.flush();
    tcpActivity = previous;
}

// One read of at most maxCount bytes; waits up to `waitMs` (the TCP read
// time unless given) when nothing is there yet. Empty when nothing came or
// the peer closed.
QByteArray DeviceLink::Impl::TcpRead(qint64 maxCount, int waitMs) {
    const TcpActivity previous = tcpActivity;
    tcpActivity = TcpActivity::Receiving;
    if (socket.bytesAvailable() == 0 && TcpIsActive()) {
        socket.waitForReadyRead(waitMs < 0 ? timings.tcpReadMs : waitMs);
    }
    QByteArray bytes = socket.read(maxCount);
    tcpActivity = previous;
    return bytes;
}

// Whatever arrived while no reply was awaited is dropped before the next
// exchange, as on the serial link.
void DeviceLink::Impl::DiscardTcpInput() {
    const TcpActivity previous = tcpActivity;
    tcpActivity = TcpActivity::Receiving;
    for (int round = 0; round < kDrainRounds; ++round) {
        socket.readAll();
        if (!TcpIsActive() || !socket.waitForReadyRead(0)) {
            break;
        }
    }
    socket.readAll();
    tcpActivity = previous;
}

bool DeviceLink::Impl::TcpProbe(const std::string& line) {
    if (!TcpIsActive()) {
        return false;
    }
    DiscardTcpInput();
    TcpWrite(line);
    // The bytes are not examined; the rest of the reply stays unread.
    return !TcpRead(kProbeReadBytes).isEmpty();
}

void DeviceLink::Impl::TcpSendCommand() {
    HourglassScope hourglass(host);
    // A command without an answer is simply not acknowledged.
    TcpProbe(commandBuffer);
}

void DeviceLink::Impl::TcpSendOnly() {
    if (TcpIsActive()) {
        TcpWrite(commandBuffer);
    }
}

// The TCP status exchange: reads of at most 100 bytes until the reply has
// ended (TcpReplyCollector: the first '#' after the whole payload), the
// receive buffer is full, a read waits in vain, or the reply timer's length
// has passed since the query. A switcher behind a serial converter delivers
// its replies in many small packets, so the number of reads is not limited;
// the time is, so that a peer that trickles bytes cannot hold the window.
// Only a complete reply is copied into the receive buffer; otherwise it stays
// all zero and the caller finds no SOH.
void DeviceLink::Impl::TcpQueryStatus() {
    exchangeFailed = false;
    if (!TcpIsActive()) {
        exchangeFailed = true;
        return;
    }
    receiveBuffer.fill(0);
    DispatchPending();
    QThread::msleep(static_cast<unsigned long>(std::max(timings.tcpPauseMs, 0)));
    if (!TcpIsActive()) {
        exchangeFailed = true;
        return;
    }
    DiscardTcpInput();
    TcpWrite(commandBuffer);
    QDeadlineTimer deadline(std::max(timings.replyTimerMs, 0));

    TcpReplyCollector reply(static_cast<std::size_t>(std::max(expectedLength, 0)),
                            receiveBuffer.size());
    while (reply.WantsMore()) {
        const int left = static_cast<int>(deadline.remainingTime());
        if (left <= 0) {
            reply.Abandon();
            break;
        }
        const QByteArray slot = TcpRead(kSlotBytes, std::min(timings.tcpReadMs, left));
        reply.Add(std::span(reinterpret_cast<const std::uint8_t*>(slot.constData()),
                            static_cast<std::size_t>(slot.size())));
    }
    if (reply.Complete()) {
        std::copy(reply.Bytes().begin(), reply.Bytes().end(), receiveBuffer.begin());
    }
}

DeviceLink::TcpOutcome DeviceLink::Impl::TcpConnect(const QString& address) {
    // The window checks the text first; a bad one is still refused here.
    const QString refusal = CheckConnectAddress(address);
    if (!refusal.isEmpty()) {
        prompts.Message(refusal);
        return TcpOutcome::NotConnected;
    }
    if (socket.state() != QAbstractSocket::UnconnectedState) {
        TcpClose();
    }
    host.SetHourglass(true);
    state.EthernetConnecting = true;
    tcpActivity = TcpActivity::Connecting;
    socket.connectToHost(QHostAddress(NormaliseIpAddress(address)), tcpPort);
    timeoutSeen = false;
    StartTimer1();
    DispatchUntil([this] { return TcpIsActive() || !state.EthernetConnecting; });
    StopTimer1();
    state.EthernetConnecting = false;
    tcpActivity = TcpActivity::Idle;

    TcpOutcome outcome = TcpOutcome::NotConnected;
    if (TcpIsActive()) {
        outcome = TcpProbe(std::string()) ? TcpOutcome::Probed : TcpOutcome::Silent;
    } else {
        // Timed out or refused: no attempt is left running behind the user.
        socket.abort();
    }
    host.SetHourglass(false);
    return outcome;
}

void DeviceLink::Impl::TcpClose() {
    if (socket.state() == QAbstractSocket::UnconnectedState) {
        return;
    }
    if (socket.state() != QAbstractSocket::ConnectedState) {
        socket.abort();
        return;
    }
    tcpActivity = TcpActivity::Closing;
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) {
        // Unsent bytes may keep the socket closing for a while; it is cut
        // off when the TCP read time has passed.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &socket, [this] { socket.abort(); });
        guard.start(timings.tcpReadMs);
        while (socket.state() != QAbstractSocket::UnconnectedState) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    tcpActivity = TcpActivity::Idle;
}

} // namespace qvc
