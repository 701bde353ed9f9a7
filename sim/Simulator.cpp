#include "Simulator.h"

#include "FaultShaping.h"
#include "Pty.h"
#include "Switcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace qvsim {

namespace {

constexpr std::size_t kMaxLineLength = 4096; // longer lines are answered as malformed
constexpr std::size_t kReadChunk = 4096;     // bytes taken from a peer at a time
constexpr int kReadRounds = 16;              // chunks per wake-up: no peer starves the other
constexpr int kSocketBuffer = 64 * 1024;     // a client socket's kernel buffers, each way
constexpr std::size_t kReplacedReadLimit = 16 * 1024; // read from a replaced client at most
constexpr std::size_t kKeptCapacity = 64 * 1024;      // unsent bytes' storage kept once they went

enum class Channel { Pty, Tcp };

// What a queued answer costs besides its bytes; counted against the backlog
// limit, so that a flood of one-byte prompts is held too.
constexpr std::size_t kAnswerOverhead = sizeof(OutAnswer) + 32;

// One open line to a peer: the pty master, or a TCP client's socket. Clients
// are served on plain descriptors so that a client that shuts down its
// sending side still gets its answers.
struct Connection {
    Channel channel = Channel::Pty;
    int fd = -1; // a TCP client's socket is ours to close; the pty master is Pty's
    QSocketNotifier* readable = nullptr;
    QSocketNotifier* writable = nullptr;
    QTimer* pumpTimer = nullptr; // the next answer is due (reply delay, chunk pause, baud)
    QTimer* overTimer = nullptr; // runs while the backlog is over the limit (or a cut waits)
    bool dead = false;           // closed; freed once back in the event loop
    bool paused = false;         // not read from: too many answers unsent
    bool holding = false;        // answers to a chunk of input go out together
    bool inputEnded = false;     // the client shut down its sending side
    bool closing = false;        // cut: what was written goes out, then it closes
    bool discard = false;        // replaced: its last lines are applied, not answered

    std::string inbox;       // bytes read and not handled yet (while paused)
    std::size_t inboxAt = 0; // ... from this index on
    std::string line;        // the line being received
    bool overflow = false;
    std::deque<OutAnswer> out;         // answers not written yet
    std::size_t queued = 0;            // their unwritten bytes and kAnswerOverhead each
    std::vector<std::uint8_t> pending; // written bytes the descriptor did not take yet
    std::size_t pendingAt = 0;         // ... from this index on
    BaudCredit credit;

    bool Serving() const { return !dead && !closing; }
    bool Flushed() const { return pendingAt >= pending.size(); }
    std::size_t Backlog() const { return queued + pending.size() - pendingAt; }
    void Queue(OutAnswer item) {
        queued += item.bytes.size() + kAnswerOverhead;
        out.push_back(std::move(item));
    }
    void PopAnswer() {
        queued -= out.front().bytes.size() - out.front().sent + kAnswerOverhead;
        out.pop_front();
    }
    void DropAnswers() {
        out.clear();
        queued = 0;
    }
};

// Hands over each accepted socket's descriptor.
class Listener : public QTcpServer {
  public:
    Listener(std::function<void(int)> accepted, QObject* parent)
        : QTcpServer(parent), accepted_(std::move(accepted)) {}

  protected:
    void incomingConnection(qintptr descriptor) override {
        accepted_(static_cast<int>(descriptor));
    }

  private:
    std::function<void(int)> accepted_;
};

template <typename T> void Dispose(T*& object) {
    if (object != nullptr) {
        QObject::disconnect(object, nullptr, nullptr, nullptr);
        object->deleteLater();
        object = nullptr;
    }
}

std::string Printable(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

} // namespace

struct Simulator::Impl {
    explicit Impl(Simulator* owner, SimOptions opts)
        : q(owner), options(std::move(opts)), switcher(options), shaping{Bounded(options.faults)} {
        if (options.demo) {
            switcher.SeedDemo();
        }
        clock.start();
    }

    Simulator* q;
    const SimOptions options;

    // Shared with other threads, guarded by mutex.
    mutable std::mutex mutex;
    mutable std::condition_variable linesChanged;
    Switcher switcher;
    ShapingState shaping;
    std::deque<std::string> lines; // the most recent kKeptLines lines
    std::size_t lineCount = 0;     // lines since the last clear, also those let go
    quint16 tcpPort = 0;
    std::string tcpAddress;
    std::string ptyPath;
    std::string slavePath;

    // Owned by the simulator's thread.
    Listener* server = nullptr;
    Pty pty;
    std::unique_ptr<Connection> serial;               // the pty master
    std::unique_ptr<Connection> client;               // the TCP client served (one at a time)
    std::vector<std::unique_ptr<Connection>> closing; // cut clients sending their last bytes
    std::vector<std::unique_ptr<Connection>> closed;  // freed once back in the event loop
    QElapsedTimer clock;
    QFile log;

    bool Start(std::string* error);
    void Stop();
    std::unique_ptr<Connection> Open(Channel channel, int fd);
    void Accept(int fd);
    void Replace(Connection& old);
    void Read(Connection& c);
    bool Flush(Connection& c);
    bool Write(Connection& c, const std::uint8_t* data, std::size_t n, bool now);
    void Release(Connection& c);
    void Settle(Connection& c);
    void Pause(Connection& c);
    void Resume(Connection& c);
    void Overrun(Connection& c);
    void Close(Connection& c);
    void Kill(Connection& c, bool reset = false);
    void HandleInput(Connection& c);
    void HandleLine(Connection& c, const std::string& line, bool overflow);
    void Pump(Connection& c);
    void Cut(Connection& c);
};

// ------------------------------------------------------------ transports ---

bool Simulator::Impl::Start(std::string* error) {
    const auto fail = [&](const std::string& message) {
        if (error != nullptr) {
            *error = message;
        }
        Stop();
        return false;
    };
    if (!options.tcp && options.ptyPath.empty()) {
        return fail("no transport configured");
    }
    if (!options.logFile.empty()) {
        log.setFileName(QString::fromStdString(options.logFile));
        if (!log.open(QIODevice::Append | QIODevice::Text)) {
            return fail("cannot open log file " + options.logFile + ": " +
                        log.errorString().toStdString());
        }
    }
    if (options.tcp) {
        server = new Listener([this](int fd) { Accept(fd); }, q);
        const QHostAddress address(QString::fromStdString(options.tcpAddress));
        if (!server->listen(address, options.tcpPort)) {
            return fail("cannot listen on " + options.tcpAddress + ":" +
                        std::to_string(options.tcpPort) + ": " +
                        server->errorString().toStdString());
        }
        std::lock_guard lock(mutex);
        tcpPort = server->serverPort();
        tcpAddress = server->serverAddress().toString().toStdString();
    }
    if (!options.ptyPath.empty()) {
        std::string why;
        if (!pty.Open(options.ptyPath, &why)) {
            return fail(why);
        }
        serial = Open(Channel::Pty, pty.MasterFd());
        std::lock_guard lock(mutex);
        ptyPath = pty.LinkPath();
        slavePath = pty.SlavePath();
    }
    return true;
}

void Simulator::Impl::Stop() {
    if (client != nullptr) {
        Kill(*client);
    }
    while (!closing.empty()) {
        Kill(*closing.front());
    }
    if (serial != nullptr) {
        Kill(*serial);
    }
    closed.clear();
    delete server;
    server = nullptr;
    pty.Close();
    log.close();
}

std::unique_ptr<Connection> Simulator::Impl::Open(Channel channel, int fd) {
    auto c = std::make_unique<Connection>();
    Connection* p = c.get();
    c->channel = channel;
    c->fd = fd;
    c->credit.atNs = clock.nsecsElapsed();
    c->readable = new QSocketNotifier(fd, QSocketNotifier::Read, q);
    QObject::connect(c->readable, &QSocketNotifier::activated, q, [this, p] { Read(*p); });
    c->writable = new QSocketNotifier(fd, QSocketNotifier::Write, q);
    c->writable->setEnabled(false);
    QObject::connect(c->writable, &QSocketNotifier::activated, q, [this, p] {
        if (!Flush(*p)) {
            Kill(*p);
            return;
        }
        Settle(*p);
    });
    c->pumpTimer = new QTimer(q);
    c->pumpTimer->setSingleShot(true);
    c->pumpTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(c->pumpTimer, &QTimer::timeout, q, [this, p] {
        Pump(*p);
        Settle(*p);
    });
    c->overTimer = new QTimer(q);
    c->overTimer->setSingleShot(true);
    QObject::connect(c->overTimer, &QTimer::timeout, q, [this, p] { Overrun(*p); });
    return c;
}

// One client at a time: a new connection replaces the old one.
void Simulator::Impl::Accept(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        ::close(fd);
        return;
    }
    // Fixed, so that a client that floods or never reads ties up a known
    // amount in the kernel too.
    for (const int buffer : {SO_RCVBUF, SO_SNDBUF}) {
        ::setsockopt(fd, SOL_SOCKET, buffer, &kSocketBuffer, sizeof kSocketBuffer);
    }
    if (client != nullptr) {
        Replace(*client);
    }
    client = Open(Channel::Tcp, fd);
}

// What the old client sent before the new one connected still counts: a
// client that sends a line and reconnects at once must not lose the line. Its
// answers would go nowhere. Only a bounded part is read, so that the new
// client is answered at once even when the old one left a flood behind.
void Simulator::Impl::Replace(Connection& old) {
    old.discard = true;
    old.paused = false;
    HandleInput(old);
    char buf[kReadChunk];
    std::size_t taken = 0;
    while (old.Serving() && !old.inputEnded && taken < kReplacedReadLimit) {
        const ssize_t n = ::recv(old.fd, buf, std::min(sizeof buf, kReplacedReadLimit - taken), 0);
        if (n > 0) {
            taken += static_cast<std::size_t>(n);
            old.inbox.assign(buf, static_cast<std::size_t>(n));
            HandleInput(old);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    Kill(old);
}

void Simulator::Impl::Read(Connection& c) {
    char buf[kReadChunk];
    for (int round = 0; round < kReadRounds && c.Serving() && !c.inputEnded && !c.paused; ++round) {
        const ssize_t n = c.channel == Channel::Tcp ? ::recv(c.fd, buf, sizeof buf, 0)
                                                    : ::read(c.fd, buf, sizeof buf);
        if (n > 0) {
            if (c.channel == Channel::Pty) {
                pty.KeepRaw();
            }
            c.inbox.assign(buf, static_cast<std::size_t>(n));
            HandleInput(c);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (c.channel == Channel::Tcp) {
            if (n == 0) {
                // The client sends no more: it gets its answers, then the connection closes.
                c.inputEnded = true;
                c.readable->setEnabled(false);
                Settle(c);
            } else {
                Kill(c);
            }
            return;
        }
        if (n < 0) {
            // No reader can be attached right now (should not happen while we
            // hold a slave descriptor); look again a little later.
            c.readable->setEnabled(false);
            QTimer::singleShot(50, q, [this] {
                if (serial != nullptr && serial->readable != nullptr && !serial->paused) {
                    serial->readable->setEnabled(true);
                }
            });
        }
        return;
    }
}

// Writes what the descriptor takes now; the rest goes when it is writable. False
// when a TCP client is gone (a pty just loses what it could not take).
bool Simulator::Impl::Flush(Connection& c) {
    while (!c.Flushed()) {
        const std::uint8_t* data = c.pending.data() + c.pendingAt;
        const std::size_t left = c.pending.size() - c.pendingAt;
        const ssize_t n = c.channel == Channel::Tcp ? ::send(c.fd, data, left, MSG_NOSIGNAL)
                                                    : ::write(c.fd, data, left);
        if (n > 0) {
            c.pendingAt += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            c.writable->setEnabled(true);
            return true;
        }
        c.pending.clear();
        c.pendingAt = 0;
        c.writable->setEnabled(false);
        return c.channel == Channel::Pty;
    }
    if (c.pending.capacity() > kKeptCapacity) {
        c.pending = {}; // a backlog that went out does not stay allocated
    }
    c.pending.clear();
    c.pendingAt = 0;
    c.writable->setEnabled(false);
    return true;
}

// Adds bytes to what goes out; while a chunk of input is handled they are
// held (one send for all its answers) unless `now`.
bool Simulator::Impl::Write(Connection& c, const std::uint8_t* data, std::size_t n, bool now) {
    if (c.pendingAt > 0 && c.pendingAt >= c.pending.size() / 2) {
        c.pending.erase(c.pending.begin(),
                        c.pending.begin() + static_cast<std::ptrdiff_t>(c.pendingAt));
        c.pendingAt = 0;
    }
    c.pending.insert(c.pending.end(), data, data + n);
    return (c.holding && !now) || Flush(c);
}

// Sends what handling a chunk of input held back.
void Simulator::Impl::Release(Connection& c) {
    c.holding = false;
    if (c.dead) {
        return;
    }
    if (!Flush(c)) {
        Kill(c);
        return;
    }
    if (c.closing) {
        if (c.Flushed()) {
            Close(c);
        }
        return;
    }
    if (c.Backlog() <= options.backlogLimit) {
        c.overTimer->stop();
        if (c.paused && !c.pumpTimer->isActive()) {
            c.pumpTimer->start(0); // it all went out at once: read on, from the event loop
        }
    }
}

// After output went out: a cut or half-closed client whose answers are all
// written is closed; a connection back within the backlog limit is read from
// again.
void Simulator::Impl::Settle(Connection& c) {
    if (c.dead) {
        return;
    }
    if (c.closing) {
        if (c.Flushed()) {
            Close(c);
        }
        return;
    }
    if (c.Backlog() <= options.backlogLimit) {
        c.overTimer->stop();
        if (c.paused) {
            Resume(c);
        }
    }
    if (!c.dead && !c.paused && c.Flushed() && c.inputEnded && c.out.empty()) {
        Close(c);
    }
}

// Too many answers unsent: the peer's further lines wait in its own buffers.
void Simulator::Impl::Pause(Connection& c) {
    c.paused = true;
    c.readable->setEnabled(false);
    if (!c.overTimer->isActive()) {
        c.overTimer->start(options.backlogGraceMs);
    }
}

void Simulator::Impl::Resume(Connection& c) {
    c.paused = false;
    HandleInput(c);
    if (c.Serving() && !c.paused && !c.inputEnded) {
        c.readable->setEnabled(true);
    }
}

// The backlog stayed over the limit for the grace time (or a cut client did
// not take its last bytes in that time): a TCP client is dropped; on the pty,
// what is in flight either way is thrown away, as on a serial line nobody
// listens to, and the line is read afresh.
void Simulator::Impl::Overrun(Connection& c) {
    if (c.dead || (!c.closing && c.Backlog() <= options.backlogLimit)) {
        return;
    }
    if (c.channel == Channel::Tcp) {
        Kill(c, /*reset=*/true);
        return;
    }
    c.DropAnswers();
    c.pending = {};
    c.pendingAt = 0;
    c.writable->setEnabled(false);
    c.inbox.clear();
    c.inboxAt = 0;
    c.line.clear();
    c.overflow = false;
    pty.DiscardInFlight();
    Settle(c);
}

// Closes a TCP client after reading what it still sent, so that it sees an
// orderly end rather than a reset.
void Simulator::Impl::Close(Connection& c) {
    char buf[kReadChunk];
    for (int round = 0; round < kReadRounds && c.channel == Channel::Tcp; ++round) {
        const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n <= 0 && !(n < 0 && errno == EINTR)) {
            break;
        }
    }
    Kill(c);
}

// Ends a connection at once (with a reset: the peer learns it without reading
// what it left unread). It is freed once back in the event loop: the caller
// may still be working on it.
void Simulator::Impl::Kill(Connection& c, bool reset) {
    if (c.dead) {
        return;
    }
    c.dead = true;
    if (c.readable != nullptr) {
        c.readable->setEnabled(false);
    }
    if (c.writable != nullptr) {
        c.writable->setEnabled(false);
    }
    Dispose(c.readable);
    Dispose(c.writable);
    Dispose(c.pumpTimer);
    Dispose(c.overTimer);
    c.DropAnswers();
    c.pending = {};
    c.pendingAt = 0;
    c.inbox = {};
    if (c.channel == Channel::Tcp && c.fd >= 0) {
        if (reset) {
            const linger abort{1, 0};
            ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        }
        ::close(c.fd);
    }
    c.fd = -1;
    const auto take = [&](std::unique_ptr<Connection>& slot) {
        if (slot.get() == &c) {
            closed.push_back(std::move(slot));
        }
    };
    take(client);
    take(serial);
    for (auto& p : closing) {
        take(p);
    }
    std::erase(closing, nullptr);
    if (closed.size() == 1) {
        QTimer::singleShot(0, q, [this] { closed.clear(); });
    }
}

// --------------------------------------------------------------- requests ---

// Collects the bytes read into lines (CR ends a line, LF is ignored) and
// handles them. While the connection's unsent answers are over the limit it
// pauses before the next line; a replaced client's answers are not kept, so
// it is not held.
void Simulator::Impl::HandleInput(Connection& c) {
    const bool outermost = !c.holding;
    c.holding = true;
    while (c.inboxAt < c.inbox.size() && c.Serving()) {
        const char ch = c.inbox[c.inboxAt];
        if (ch == '\r') {
            if (!c.discard && c.Backlog() > options.backlogLimit) {
                // What is held goes out first; pause if that is not enough.
                if (!Flush(c)) {
                    Kill(c);
                    break;
                }
                if (c.Backlog() > options.backlogLimit) {
                    Pause(c);
                    break;
                }
            }
            ++c.inboxAt;
            const std::string complete = std::move(c.line);
            const bool tooLong = c.overflow;
            c.line.clear();
            c.overflow = false;
            HandleLine(c, complete, tooLong);
            continue;
        }
        ++c.inboxAt;
        if (ch == '\n') {
            continue;
        }
        if (c.line.size() < kMaxLineLength) {
            c.line += ch;
        } else {
            c.overflow = true;
        }
    }
    if (!c.paused) {
        c.inbox.clear();
        c.inboxAt = 0;
    }
    if (outermost) {
        Release(c);
    }
}

void Simulator::Impl::HandleLine(Connection& c, const std::string& line, bool overflow) {
    Reply reply;
    {
        std::lock_guard lock(mutex);
        if (lines.size() == kKeptLines) {
            lines.pop_front();
        }
        lines.push_back(line);
        ++lineCount;
        linesChanged.notify_all();
        if (log.isOpen()) {
            const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
            log.write((stamp.toStdString() + " " + Printable(line) + "\n").c_str());
            log.flush();
        }

        // A replaced client's answers go nowhere: its queries are not encoded.
        const Answer answer = overflow ? Answer{} : switcher.Handle(line, !c.discard);
        reply = ShapeReply(answer, line, c.discard, shaping);
    }
    if (reply.None()) {
        return;
    }
    c.Queue(OutAnswer{std::move(reply.bytes), 0, clock.elapsed() + reply.delayMs, reply.cutAt});
    if (!c.pumpTimer->isActive()) {
        Pump(c);
    }
    if (c.Serving() && c.Backlog() > options.backlogLimit && !c.overTimer->isActive()) {
        c.overTimer->start(options.backlogGraceMs);
    }
}

// ------------------------------------------------------------ output pump ---

// A status reply cut by close-after: on TCP the connection closes after what
// was written so far; on the pty the rest of that reply is dropped.
void Simulator::Impl::Cut(Connection& c) {
    if (c.channel == Channel::Pty) {
        return;
    }
    c.closing = true;
    c.DropAnswers();
    c.readable->setEnabled(false);
    if (client.get() == &c) {
        closing.push_back(std::move(client));
    }
    c.overTimer->start(options.backlogGraceMs); // for a client that reads no more
    Settle(c);
}

// Writes a connection's queued answers, honouring the reply delay, chunking,
// baud pacing and close-after. Runs whenever an answer is queued and on the
// connection's own timer.
void Simulator::Impl::Pump(Connection& c) {
    while (!c.out.empty() && c.Serving()) {
        OutAnswer& item = c.out.front();
        Pacing pacing;
        {
            std::lock_guard lock(mutex);
            pacing = PacingOf(shaping.faults);
        }
        const PumpStep step = NextStep(item, pacing, clock.nsecsElapsed(), c.credit);
        switch (step.kind) {
        case PumpStep::Kind::Wait:
            c.pumpTimer->start(step.waitMs);
            return;
        case PumpStep::Kind::Cut:
            c.PopAnswer();
            Cut(c);
            continue;
        case PumpStep::Kind::Done:
            c.PopAnswer();
            continue;
        case PumpStep::Kind::Write:
            break;
        }
        const bool ok = Write(c, item.bytes.data() + item.sent, step.count, step.alone);
        item.sent += step.count;
        c.queued -= step.count;
        if (!ok) {
            Kill(c);
            return;
        }
        if (AfterWrite(item, pacing, clock.nsecsElapsed())) {
            c.PopAnswer();
        }
    }
    // Idle: pacing starts afresh with the next answer.
    c.credit = BaudCredit{0, clock.nsecsElapsed()};
}

// -------------------------------------------------------------- Simulator ---

Simulator::Simulator(SimOptions options, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(this, std::move(options))) {}

Simulator::~Simulator() {
    d_->Stop();
}

bool Simulator::Start(std::string* error) {
    return d_->Start(error);
}
void Simulator::Stop() {
    d_->Stop();
}

quint16 Simulator::TcpPort() const {
    std::lock_guard lock(d_->mutex);
    return d_->tcpPort;
}
std::string Simulator::TcpAddress() const {
    std::lock_guard lock(d_->mutex);
    return d_->tcpAddress;
}
std::string Simulator::PtyPath() const {
    std::lock_guard lock(d_->mutex);
    return d_->ptyPath;
}
std::string Simulator::SlavePath() const {
    std::lock_guard lock(d_->mutex);
    return d_->slavePath;
}

std::vector<std::string> Simulator::ReceivedLines() const {
    std::lock_guard lock(d_->mutex);
    return {d_->lines.begin(), d_->lines.end()};
}

void Simulator::ClearReceivedLines() {
    std::lock_guard lock(d_->mutex);
    d_->lines.clear();
    d_->lineCount = 0;
}

bool Simulator::WaitForLines(std::size_t n, int timeoutMs) const {
    std::unique_lock lock(d_->mutex);
    return d_->linesChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return d_->lineCount >= n; });
}

Faults Simulator::CurrentFaults() const {
    std::lock_guard lock(d_->mutex);
    return d_->shaping.faults;
}

void Simulator::SetFaults(Faults faults) {
    ChangeFaults([&](Faults& f) { f = std::move(faults); });
}

void Simulator::ChangeFaults(const std::function<void(Faults&)>& change) {
    std::lock_guard lock(d_->mutex);
    change(d_->shaping.faults);
    d_->shaping.faults = Bounded(std::move(d_->shaping.faults));
}

SimState Simulator::State() const {
    std::lock_guard lock(d_->mutex);
    return d_->switcher.State();
}

void Simulator::SeedDemo() {
    std::lock_guard lock(d_->mutex);
    d_->switcher.SeedDemo();
}

// -------------------------------------------------------------- SimThread ---

SimThread::SimThread(SimOptions options)
    : thread_(std::make_unique<QThread>()), sim_(new Simulator(std::move(options))) {
    thread_->setObjectName(QStringLiteral("quorvel-sim"));
    sim_->moveToThread(thread_.get());
    thread_->start();
}

SimThread::~SimThread() {
    QMetaObject::invokeMethod(
        sim_, [this] { delete sim_; }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

bool SimThread::Start(std::string* error) {
    if (QCoreApplication::instance() == nullptr) {
        // Qt delivers no events to a thread without an application object.
        if (error != nullptr) {
            *error = "SimThread needs a QCoreApplication (or QApplication) instance";
        }
        return false;
    }
    bool ok = false;
    QMetaObject::invokeMethod(
        sim_, [&] { ok = sim_->Start(error); }, Qt::BlockingQueuedConnection);
    return ok;
}

} // namespace qvsim
