#include "LinkExchange.h"

#include <QCoreApplication>
#include <algorithm>

namespace qvc {

namespace {

constexpr const char* kEthernetTimeoutText =
    "Error! Timeout occured. Unable to communicate with Quorvel. Please verify that Ethernet is "
    "connected to Quorvel.";
constexpr const char* kSerialTimeoutText =
    "Error! Timeout occured. Unable to communicate with Quorvel. Please verify that Serial Port "
    "is connected to Quorvel.";

} // namespace

LinkExchange::LinkExchange(const LinkContext& context)
    : ctx_(context), promptTimeout_(context.timings.commandTicks) {
    timer1_.setSingleShot(true);
    clock_.start();
    QObject::connect(&timer1_, &QTimer::timeout, &ctx_.owner, [this] { Timer1Timer(); });
}

LinkExchange::~LinkExchange() {
    timer1_.disconnect(&ctx_.owner);
}

std::size_t LinkExchange::ExpectedBytes() const {
    return static_cast<std::size_t>(std::max(expectedLength_, 0));
}

// --- the buffers ------------------------------------------------------------

void LinkExchange::BeginSerialReply() {
    // The whole buffer is cleared, so that nothing of an earlier reply can
    // pass for part of this one.
    receiveBuffer_.fill(0);
    receivePosition_ = 0;
    replyPending_ = true;
}

// The serial reply collector: a reply is complete at the first '#' at an
// index of ExpectedLength or more that follows CR LF. Later bytes of the same
// block are ignored. A reply that fills the receive buffer without ending is
// not stored further; the reply timer then fails the exchange.
void LinkExchange::CollectSerialReply(const QByteArray& bytes) {
    const std::size_t expected = ExpectedBytes();
    for (const char c : bytes) {
        if (receivePosition_ >= receiveBuffer_.size()) {
            break;
        }
        const auto byte = static_cast<std::uint8_t>(c);
        const std::size_t p = receivePosition_;
        receiveBuffer_[p] = byte;
        if (byte == kPrompt && p >= expected && p >= 2 && receiveBuffer_[p - 1] == kLf &&
            receiveBuffer_[p - 2] == kCr) {
            receivePosition_ = 0;
            replyLength_ = p + 1;
            replyPending_ = false;
            break;
        }
        ++receivePosition_;
    }
}

void LinkExchange::StoreReply(std::span<const std::uint8_t> reply) {
    std::copy(reply.begin(), reply.end(), receiveBuffer_.begin());
}

// --- the wire log ---------------------------------------------------------------

void LinkExchange::BeginRecord(const QString& link, const std::string& line, WireKind kind) {
    record_.atMs = clock_.elapsed();
    record_.link = link;
    record_.line = QByteArray(line.data(), static_cast<qsizetype>(line.size()));
    record_.line.append('\r');
    record_.kind = kind;
    record_.outcome = WireOutcome::Failure;
    record_.replyBytes = 0;
    record_.durationMs = 0;
    recordOpen_ = true;
}

void LinkExchange::EndRecord(WireOutcome outcome, qint64 replyBytes) {
    recordOpen_ = false;
    record_.outcome = outcome;
    record_.replyBytes = replyBytes;
    record_.durationMs = clock_.elapsed() - record_.atMs;
    ctx_.host.ExchangeLogged(record_);
}

// --- the reply timer and the dispatching waits -------------------------------

void LinkExchange::StartTimer1() {
    timer1_.start(ctx_.timings.replyTimerMs);
}

void LinkExchange::StopTimer1() {
    timer1_.stop();
}

void LinkExchange::Timer1Timer() {
    StopTimer1();
    if (!waitDone_ || waitDone_()) {
        // The wait got what it waited for in the same batch of events.
        return;
    }
    const bool ethernet = ctx_.state.EthernetConnecting || ctx_.state.EthernetConnected;
    ctx_.prompts.Message(ethernet ? kEthernetTimeoutText : kSerialTimeoutText);
    // Only once the user has closed the message.
    timeoutSeen_ = true;
    exchangeFailed_ = true;
}

void LinkExchange::DispatchUntil(const std::function<bool()>& done) {
    const auto previous = waitDone_;
    waitDone_ = done;
    ++dispatchDepth_;
    while (!done() && !timeoutSeen_) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    --dispatchDepth_;
    waitDone_ = previous;
}

void LinkExchange::TimedWait(const std::function<bool()>& done) {
    timeoutSeen_ = false;
    StartTimer1();
    DispatchUntil(done);
    StopTimer1();
}

void LinkExchange::DispatchPending() {
    ++dispatchDepth_;
    QCoreApplication::processEvents();
    --dispatchDepth_;
}

} // namespace qvc
