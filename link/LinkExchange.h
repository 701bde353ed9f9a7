// The exchange part of the link: one exchange at a time on one set of
// buffers (the command line, the receive buffer), the reply timer (Timer1)
// and the dispatching waits it ends.
#pragma once

#include "LinkContext.h"
#include "WireExchange.h"
#include "protocol/Framing.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace qvc {

class LinkExchange {
  public:
    explicit LinkExchange(const LinkContext& context);
    ~LinkExchange();
    LinkExchange(const LinkExchange&) = delete;
    LinkExchange& operator=(const LinkExchange&) = delete;

    // --- the buffers --------------------------------------------------------
    const std::string& CommandLine() const { return commandBuffer_; }
    void SetCommandLine(const std::string& line) { commandBuffer_ = line; }
    // Length of the payload the status query in progress asks for (never
    // below 0 as a count of bytes).
    void SetExpectedLength(int length) { expectedLength_ = length; }
    std::size_t ExpectedBytes() const;
    std::span<const std::uint8_t> ReceiveBuffer() const { return receiveBuffer_; }

    // The serial reply: BeginSerialReply clears the whole receive buffer and
    // awaits a reply; CollectSerialReply stores received bytes until the
    // reply has ended, which ends ReplyPending.
    void BeginSerialReply();
    void CollectSerialReply(const QByteArray& bytes);
    bool ReplyPending() const { return replyPending_; }
    // Bytes of the last serial reply that ended, up to its '#'.
    std::size_t ReplyLength() const { return replyLength_; }
    void EndReply() { replyPending_ = false; }

    // The TCP reply is collected elsewhere and copied in only when complete.
    void ClearReceiveBuffer() { receiveBuffer_.fill(0); }
    void StoreReply(std::span<const std::uint8_t> reply);

    bool Failed() const { return exchangeFailed_; }
    void SetFailed(bool failed) { exchangeFailed_ = failed; }

    // Length of the serial prompt wait, in ticks.
    int PromptTimeout() const { return promptTimeout_; }
    void SetPromptTimeout(int ticks) { promptTimeout_ = ticks; }

    // --- the reply timer and the dispatching waits ---------------------------
    void StartTimer1();
    void StopTimer1();
    // Forgets a timeout of an earlier wait, so that the next one can run.
    void ClearTimeout() { timeoutSeen_ = false; }
    // Dispatches events until `done` holds or Timer1 has expired.
    void DispatchUntil(const std::function<bool()>& done);
    // A whole wait of its own: Timer1 runs from now until `done` holds or
    // it expires.
    void TimedWait(const std::function<bool()>& done);
    // Runs pending events once, as part of an exchange.
    void DispatchPending();
    // Events dispatched by an exchange are running: a handler among them
    // must not start a second exchange on the one set of buffers.
    bool Inside() const { return dispatchDepth_ > 0; }

    // --- the wire log ----------------------------------------------------------
    // While off, nothing of an exchange is recorded.
    void SetWireLogging(bool on) { wireLogging_ = on; }
    bool WireLogging() const { return wireLogging_; }
    // An exchange begins: `line` (without its CR) goes out on `link`.
    void LogBegin(const QString& link, const std::string& line, WireKind kind) {
        if (wireLogging_) {
            BeginRecord(link, line, kind);
        }
    }
    // The exchange begun last ended so; the host gets its record.
    void LogEnd(WireOutcome outcome, qint64 replyBytes = 0) {
        if (recordOpen_) {
            EndRecord(outcome, replyBytes);
        }
    }

  private:
    void Timer1Timer();
    void BeginRecord(const QString& link, const std::string& line, WireKind kind);
    void EndRecord(WireOutcome outcome, qint64 replyBytes);

    LinkContext ctx_;

    std::string commandBuffer_;
    std::array<std::uint8_t, kReceiveBufferSize> receiveBuffer_{};
    std::size_t receivePosition_ = 0;
    std::size_t replyLength_ = 0;
    int expectedLength_ = 0;
    bool replyPending_ = false;
    bool exchangeFailed_ = false;
    bool timeoutSeen_ = false;
    int promptTimeout_ = 0;
    QTimer timer1_;
    // The condition the running dispatching wait waits for; Timer1 stays
    // silent when it is already met.
    std::function<bool()> waitDone_;
    int dispatchDepth_ = 0;

    bool wireLogging_ = false;
    bool recordOpen_ = false;
    WireExchange record_;
    QElapsedTimer clock_; // since the link was made
};

} // namespace qvc
