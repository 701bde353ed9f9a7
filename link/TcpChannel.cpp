#include "TcpChannel.h"

#include "HourglassScope.h"
#include "IpAddress.h"
#include "protocol/ReplyCollector.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace qvc {

namespace {

constexpr qint64 kProbeReadBytes = 20;
constexpr qint64 kSlotBytes = 100;
// A forwarded answer is read in larger pieces: only its end matters.
constexpr qint64 kForwardReadBytes = 4096;
constexpr char kLineEnd = '\r';
// Stale input is drained before an exchange, but never for ever.
constexpr int kDrainRounds = 8;

} // namespace

TcpChannel::TcpChannel(const LinkContext& context, LinkExchange& exchange, quint16 tcpPort)
    : ctx_(context), exchange_(exchange), tcpPort_(tcpPort) {
    QObject::connect(&socket_, &QTcpSocket::connected, &ctx_.owner,
                     [this] { ctx_.state.EthernetConnected = true; });
    QObject::connect(&socket_, &QTcpSocket::disconnected, &ctx_.owner,
                     [this] { ctx_.state.EthernetConnected = false; });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred, &ctx_.owner,
                     [this](QAbstractSocket::SocketError e) { SocketError(e); });
}

TcpChannel::~TcpChannel() {
    // The link is going: the abort reports nothing to its state.
    socket_.disconnect(&ctx_.owner);
    socket_.abort();
}

bool TcpChannel::Active() const {
    return socket_.state() == QAbstractSocket::ConnectedState;
}

void TcpChannel::SocketError(QAbstractSocket::SocketError error) {
    // A wait that ran out is reported by the wait itself; a switcher that
    // closes the connection raises the disconnect event, not an error.
    if (error == QAbstractSocket::SocketTimeoutError ||
        error == QAbstractSocket::RemoteHostClosedError) {
        return;
    }
    ctx_.state.EthernetConnecting = false;
    ctx_.prompts.Message(SocketErrorText(error, activity_));
}

void TcpChannel::Write(const std::string& line) {
    QByteArray bytes(line.data(), static_cast<qsizetype>(line.size()));
    bytes.append(kLineEnd);
    const TcpActivity previous = activity_;
    activity_ = TcpActivity::Sending;
    socket_.write(bytes);
    socket_.flush();
    activity_ = previous;
}

// One read of at most maxCount bytes; waits up to `waitMs` (the TCP read
// time unless given) when nothing is there yet. Empty when nothing came or
// the peer closed.
QByteArray TcpChannel::Read(qint64 maxCount, int waitMs) {
    const TcpActivity previous = activity_;
    activity_ = TcpActivity::Receiving;
    if (socket_.bytesAvailable() == 0 && Active()) {
        socket_.waitForReadyRead(waitMs < 0 ? ctx_.timings.tcpReadMs : waitMs);
    }
    QByteArray bytes = socket_.read(maxCount);
    activity_ = previous;
    return bytes;
}

// Whatever arrived while no reply was awaited is dropped before the next
// exchange, as on the serial link.
void TcpChannel::DiscardInput() {
    const TcpActivity previous = activity_;
    activity_ = TcpActivity::Receiving;
    for (int round = 0; round < kDrainRounds; ++round) {
        socket_.readAll();
        if (!Active() || !socket_.waitForReadyRead(0)) {
            break;
        }
    }
    socket_.readAll();
    activity_ = previous;
}

WireOutcome TcpChannel::Unanswered() const {
    return Active() ? WireOutcome::Timeout : WireOutcome::Failure;
}

bool TcpChannel::Probe(const std::string& line) {
    if (!Active()) {
        return false;
    }
    DiscardInput();
    exchange_.LogBegin(linkName_, line, WireKind::Command);
    Write(line);
    // The bytes are not examined; the rest of the reply stays unread.
    const QByteArray answer = Read(kProbeReadBytes);
    if (exchange_.WireLogging()) {
        exchange_.LogEnd(answer.isEmpty()        ? Unanswered()
                         : answer.contains('#') ? WireOutcome::Prompt
                                                : WireOutcome::Reply,
                         answer.size());
    }
    return !answer.isEmpty();
}

void TcpChannel::SendCommand() {
    HourglassScope hourglass(ctx_.host);
    // A command without an answer is simply not acknowledged.
    Probe(exchange_.CommandLine());
}

void TcpChannel::SendOnly() {
    if (Active()) {
        exchange_.LogBegin(linkName_, exchange_.CommandLine(), WireKind::Command);
        Write(exchange_.CommandLine());
        exchange_.LogEnd(WireOutcome::Sent);
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
void TcpChannel::QueryStatus() {
    exchange_.SetFailed(false);
    if (!Active()) {
        exchange_.SetFailed(true);
        return;
    }
    exchange_.ClearReceiveBuffer();
    exchange_.DispatchPending();
    QThread::msleep(static_cast<unsigned long>(std::max(ctx_.timings.tcpPauseMs, 0)));
    if (!Active()) {
        exchange_.SetFailed(true);
        return;
    }
    DiscardInput();
    exchange_.LogBegin(linkName_, exchange_.CommandLine(), WireKind::Query);
    Write(exchange_.CommandLine());
    QDeadlineTimer deadline(std::max(ctx_.timings.replyTimerMs, 0));

    TcpReplyCollector reply(exchange_.ExpectedBytes(), exchange_.ReceiveBuffer().size());
    while (reply.WantsMore()) {
        const int left = static_cast<int>(deadline.remainingTime());
        if (left <= 0) {
            reply.Abandon();
            break;
        }
        const QByteArray slot = Read(kSlotBytes, std::min(ctx_.timings.tcpReadMs, left));
        reply.Add(std::span(reinterpret_cast<const std::uint8_t*>(slot.constData()),
                            static_cast<std::size_t>(slot.size())));
    }
    if (reply.Complete()) {
        exchange_.StoreReply(reply.Bytes());
        exchange_.LogEnd(WireOutcome::Reply, static_cast<qint64>(reply.Bytes().size()));
    } else {
        exchange_.LogEnd(Unanswered());
    }
}

// A forwarded line: no pause before it (a client makes its own) and no
// message after it (the client waits and times out by itself). A command's
// prompt is awaited for the TCP read time, a status reply for the reply
// timer's length, counted from the write.
QByteArray TcpChannel::Forward(int expectedLength) {
    if (!Active()) {
        return {};
    }
    DiscardInput();
    Write(exchange_.CommandLine());
    const bool query = expectedLength >= 0;
    QDeadlineTimer deadline(
        std::max(query ? ctx_.timings.replyTimerMs : ctx_.timings.tcpReadMs, 0));
    AnswerCollector answer(expectedLength);
    while (answer.WantsMore() && Active()) {
        const int left = static_cast<int>(deadline.remainingTime());
        if (left <= 0) {
            break;
        }
        const QByteArray piece = Read(kForwardReadBytes, std::min(ctx_.timings.tcpReadMs, left));
        answer.Add(std::span(reinterpret_cast<const std::uint8_t*>(piece.constData()),
                             static_cast<std::size_t>(piece.size())));
    }
    // A switcher that closed the connection may have sent the end first.
    if (answer.WantsMore() && socket_.bytesAvailable() > 0) {
        const QByteArray piece = socket_.readAll();
        answer.Add(std::span(reinterpret_cast<const std::uint8_t*>(piece.constData()),
                             static_cast<std::size_t>(piece.size())));
    }
    const auto bytes = answer.Answer();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

DeviceLink::TcpOutcome TcpChannel::Connect(const QString& address) {
    using TcpOutcome = DeviceLink::TcpOutcome;
    // The window checks the text first; a bad one is still refused here.
    const QString refusal = CheckConnectAddress(address);
    if (!refusal.isEmpty()) {
        ctx_.prompts.Message(refusal);
        return TcpOutcome::NotConnected;
    }
    if (socket_.state() != QAbstractSocket::UnconnectedState) {
        Close();
    }
    ctx_.host.SetHourglass(true);
    ctx_.state.EthernetConnecting = true;
    activity_ = TcpActivity::Connecting;
    socket_.connectToHost(QHostAddress(NormaliseIpAddress(address)), tcpPort_);
    exchange_.TimedWait([this] { return Active() || !ctx_.state.EthernetConnecting; });
    ctx_.state.EthernetConnecting = false;
    activity_ = TcpActivity::Idle;

    TcpOutcome outcome = TcpOutcome::NotConnected;
    if (Active()) {
        linkName_ = QStringLiteral("Ethernet ") + socket_.peerAddress().toString();
        outcome = Probe(std::string()) ? TcpOutcome::Probed : TcpOutcome::Silent;
    } else {
        // Timed out or refused: no attempt is left running behind the user.
        socket_.abort();
    }
    ctx_.host.SetHourglass(false);
    return outcome;
}

void TcpChannel::Close() {
    if (socket_.state() == QAbstractSocket::UnconnectedState) {
        return;
    }
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        socket_.abort();
        return;
    }
    activity_ = TcpActivity::Closing;
    socket_.disconnectFromHost();
    if (socket_.state() != QAbstractSocket::UnconnectedState) {
        // Unsent bytes may keep the socket closing for a while; it is cut
        // off when the TCP read time has passed.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &socket_, [this] { socket_.abort(); });
        guard.start(ctx_.timings.tcpReadMs);
        while (socket_.state() != QAbstractSocket::UnconnectedState) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    activity_ = TcpActivity::Idle;
}

} // namespace qvc
