#include "Connection.h"

#include "Pty.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace qvsim {

namespace {

constexpr std::size_t kMaxLineLength = 4096; // longer lines are answered as malformed
constexpr std::size_t kReadChunk = 4096;     // bytes taken from a peer at a time
constexpr int kReadRounds = 16;              // chunks per wake-up: no peer starves the other
constexpr std::size_t kReplacedReadLimit = 16 * 1024; // read from a replaced client at most
constexpr std::size_t kKeptCapacity = 64 * 1024;      // unsent bytes' storage kept once they went
constexpr int kPtyRetryMs = 50; // a pty nobody can read from is looked at again after this

// What a queued answer costs besides its bytes; counted against the backlog
// limit, so that a flood of one-byte prompts is held too.
constexpr std::size_t kAnswerOverhead = sizeof(OutAnswer) + 32;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t NowMs() {
    return NowNs() / 1'000'000;
}

} // namespace

Connection::Connection(Host& host, int fd, Pty* pty, Limits limits, QObject* parent)
    : QObject(parent), host_(host), fd_(fd), pty_(pty), limits_(limits) {
    credit_.atNs = NowNs();
    readable_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(readable_, &QSocketNotifier::activated, this, [this] { Read(); });
    writable_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    writable_->setEnabled(false);
    connect(writable_, &QSocketNotifier::activated, this, [this] {
        if (!Flush()) {
            Kill();
            return;
        }
        Settle();
    });
    pumpTimer_ = new QTimer(this);
    pumpTimer_->setSingleShot(true);
    pumpTimer_->setTimerType(Qt::PreciseTimer);
    connect(pumpTimer_, &QTimer::timeout, this, [this] {
        Pump();
        Settle();
    });
    overTimer_ = new QTimer(this);
    overTimer_->setSingleShot(true);
    connect(overTimer_, &QTimer::timeout, this, [this] { Overrun(); });
}

Connection::~Connection() {
    if (IsTcp() && !dead_) {
        ::close(fd_);
    }
}

// ---------------------------------------------------------------- reading ---

void Connection::Read() {
    char buf[kReadChunk];
    for (int round = 0; round < kReadRounds && Serving() && !inputEnded_ && !paused_; ++round) {
        const ssize_t n = IsTcp() ? ::recv(fd_, buf, sizeof buf, 0) : ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            if (!IsTcp()) {
                pty_->KeepRaw();
            }
            inbox_.assign(buf, static_cast<std::size_t>(n));
            HandleInput();
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        ReadEnded(n == 0);
        return;
    }
}

// A TCP client that sends no more gets its answers, then the connection
// closes; one that failed is dropped. A pty nobody can read from right now
// (should not happen while Pty holds a slave descriptor) is looked at again a
// little later.
void Connection::ReadEnded(bool endOfInput) {
    if (IsTcp()) {
        if (!endOfInput) {
            Kill();
            return;
        }
        inputEnded_ = true;
        readable_->setEnabled(false);
        Settle();
        return;
    }
    if (!endOfInput) {
        readable_->setEnabled(false);
        QTimer::singleShot(kPtyRetryMs, this, [this] {
            if (!dead_ && !paused_) {
                readable_->setEnabled(true);
            }
        });
    }
}

void Connection::Replace() {
    discard_ = true;
    paused_ = false;
    HandleInput();
    char buf[kReadChunk];
    std::size_t taken = 0;
    while (Serving() && !inputEnded_ && taken < kReplacedReadLimit) {
        const ssize_t n = ::recv(fd_, buf, std::min(sizeof buf, kReplacedReadLimit - taken), 0);
        if (n > 0) {
            taken += static_cast<std::size_t>(n);
            inbox_.assign(buf, static_cast<std::size_t>(n));
            HandleInput();
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    Kill();
}

// Collects the bytes read into lines (CR ends a line, LF is ignored) and
// handles them. While the unsent answers are over the limit it pauses before
// the next line; a replaced client's answers are not kept, so it is not held.
void Connection::HandleInput() {
    const bool outermost = !holding_;
    holding_ = true;
    while (inboxAt_ < inbox_.size() && Serving()) {
        const char ch = inbox_[inboxAt_];
        if (ch == '\r') {
            if (!discard_ && Backlog() > limits_.limit) {
                // What is held goes out first; pause if that is not enough.
                if (!Flush()) {
                    Kill();
                    break;
                }
                if (Backlog() > limits_.limit) {
                    Pause();
                    break;
                }
            }
            ++inboxAt_;
            const std::string complete = std::move(line_);
            const bool tooLong = overflow_;
            line_.clear();
            overflow_ = false;
            HandleLine(complete, tooLong);
            continue;
        }
        ++inboxAt_;
        if (ch == '\n') {
            continue;
        }
        if (line_.size() < kMaxLineLength) {
            line_ += ch;
        } else {
            overflow_ = true;
        }
    }
    if (!paused_) {
        inbox_.clear();
        inboxAt_ = 0;
    }
    if (outermost) {
        Release();
    }
}

void Connection::HandleLine(const std::string& line, bool overflow) {
    Queue(host_.ReplyTo(line, overflow, discard_));
}

// ---------------------------------------------------------------- writing ---

void Connection::Queue(Reply reply) {
    if (reply.None()) {
        return;
    }
    OutAnswer answer{std::move(reply.bytes), 0, NowMs() + reply.delayMs, reply.cutAt};
    queued_ += answer.bytes.size() + kAnswerOverhead;
    out_.push_back(std::move(answer));
    if (!pumpTimer_->isActive()) {
        Pump();
    }
    if (Serving() && Backlog() > limits_.limit && !overTimer_->isActive()) {
        overTimer_->start(limits_.graceMs);
    }
}

void Connection::PopAnswer() {
    queued_ -= out_.front().bytes.size() - out_.front().sent + kAnswerOverhead;
    out_.pop_front();
}

void Connection::DropAnswers() {
    out_.clear();
    queued_ = 0;
}

// Writes the queued answers as far as the reply delay, the pieces, the baud
// rate and close-after let it. Runs whenever an answer is queued and on the
// connection's own timer.
void Connection::Pump() {
    while (!out_.empty() && Serving()) {
        OutAnswer& answer = out_.front();
        const Pacing pacing = host_.CurrentPacing();
        const PumpStep step = NextStep(answer, pacing, NowNs(), credit_);
        switch (step.kind) {
        case PumpStep::Kind::Wait:
            pumpTimer_->start(step.waitMs);
            return;
        case PumpStep::Kind::Cut:
            PopAnswer();
            Cut();
            continue;
        case PumpStep::Kind::Done:
            PopAnswer();
            continue;
        case PumpStep::Kind::Write:
            break;
        }
        const bool ok = Write(answer.bytes.data() + answer.sent, step.count, step.alone);
        answer.sent += step.count;
        queued_ -= step.count;
        if (!ok) {
            Kill();
            return;
        }
        if (AfterWrite(answer, pacing, NowNs())) {
            PopAnswer();
        }
    }
    // Idle: pacing starts afresh with the next answer.
    credit_ = BaudCredit{0, NowNs()};
}

// Adds bytes to what goes out; while a chunk of input is handled they are
// held (one send for all its answers) unless `now`.
bool Connection::Write(const std::uint8_t* data, std::size_t n, bool now) {
    if (pendingAt_ > 0 && pendingAt_ >= pending_.size() / 2) {
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_));
        pendingAt_ = 0;
    }
    pending_.insert(pending_.end(), data, data + n);
    return (holding_ && !now) || Flush();
}

// Writes what the descriptor takes now; the rest goes when it is writable.
// False when a TCP client is gone (a pty just loses what it could not take).
bool Connection::Flush() {
    while (!Flushed()) {
        const std::uint8_t* data = pending_.data() + pendingAt_;
        const std::size_t left = pending_.size() - pendingAt_;
        const ssize_t n =
            IsTcp() ? ::send(fd_, data, left, MSG_NOSIGNAL) : ::write(fd_, data, left);
        if (n > 0) {
            pendingAt_ += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writable_->setEnabled(true);
            return true;
        }
        pending_.clear();
        pendingAt_ = 0;
        writable_->setEnabled(false);
        return !IsTcp();
    }
    if (pending_.capacity() > kKeptCapacity) {
        pending_ = {}; // a backlog that went out does not stay allocated
    }
    pending_.clear();
    pendingAt_ = 0;
    writable_->setEnabled(false);
    return true;
}

// Sends what handling a chunk of input held back.
void Connection::Release() {
    holding_ = false;
    if (dead_) {
        return;
    }
    if (!Flush()) {
        Kill();
        return;
    }
    if (FinishCut()) {
        return;
    }
    if (WithinLimit() && paused_ && !pumpTimer_->isActive()) {
        pumpTimer_->start(0); // it all went out at once: read on, from the event loop
    }
}

// ------------------------------------------------- holding off and ending ---

// After output went out: a cut or half-closed client whose answers are all
// written is closed; a connection back within the backlog limit is read from
// again.
void Connection::Settle() {
    if (dead_ || FinishCut()) {
        return;
    }
    if (WithinLimit() && paused_) {
        Resume();
    }
    if (!dead_ && !paused_ && Flushed() && inputEnded_ && out_.empty()) {
        Close();
    }
}

// A cut client closes once what was written is out. True when it was cut.
bool Connection::FinishCut() {
    if (!closing_) {
        return false;
    }
    if (Flushed()) {
        Close();
    }
    return true;
}

// Whether the unsent answers are within the limit; the grace time stops once they are.
bool Connection::WithinLimit() {
    if (Backlog() > limits_.limit) {
        return false;
    }
    overTimer_->stop();
    return true;
}

// Too many answers unsent: the peer's further lines wait in its own buffers.
void Connection::Pause() {
    paused_ = true;
    readable_->setEnabled(false);
    if (!overTimer_->isActive()) {
        overTimer_->start(limits_.graceMs);
    }
}

void Connection::Resume() {
    paused_ = false;
    HandleInput();
    if (Serving() && !paused_ && !inputEnded_) {
        readable_->setEnabled(true);
    }
}

// The backlog stayed over the limit for the grace time (or a cut client did
// not take its last bytes in that time): a TCP client is dropped; on the pty,
// what is in flight either way is thrown away, as on a serial line nobody
// listens to, and the line is read afresh.
void Connection::Overrun() {
    if (dead_ || (!closing_ && Backlog() <= limits_.limit)) {
        return;
    }
    if (IsTcp()) {
        Kill(/*reset=*/true);
        return;
    }
    DropAnswers();
    pending_ = {};
    pendingAt_ = 0;
    writable_->setEnabled(false);
    inbox_.clear();
    inboxAt_ = 0;
    line_.clear();
    overflow_ = false;
    pty_->DiscardInFlight();
    Settle();
}

// A status reply cut by close-after: on TCP the connection closes after what
// was written so far; on the pty the rest of that reply is dropped.
void Connection::Cut() {
    if (!IsTcp()) {
        return;
    }
    closing_ = true;
    DropAnswers();
    readable_->setEnabled(false);
    host_.Retired(*this);
    overTimer_->start(limits_.graceMs); // for a client that reads no more
    Settle();
}

// Closes a TCP client after reading what it still sent, so that it sees an
// orderly end rather than a reset.
void Connection::Close() {
    char buf[kReadChunk];
    for (int round = 0; round < kReadRounds && IsTcp(); ++round) {
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0 && !(n < 0 && errno == EINTR)) {
            break;
        }
    }
    Kill();
}

void Connection::Kill(bool reset) {
    if (dead_) {
        return;
    }
    dead_ = true;
    readable_->setEnabled(false);
    writable_->setEnabled(false);
    pumpTimer_->stop();
    overTimer_->stop();
    DropAnswers();
    pending_ = {};
    pendingAt_ = 0;
    inbox_ = {};
    if (IsTcp()) {
        if (reset) {
            const linger abort{1, 0};
            ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        }
        ::close(fd_);
    }
    host_.Ended(*this);
}

} // namespace qvsim
