#include "Simulator.h"

#include "Connection.h"
#include "FaultShaping.h"
#include "Pty.h"
#include "Switcher.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace qvsim {

namespace {

constexpr int kSocketBuffer = 64 * 1024; // a client socket's kernel buffers, each way

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

struct Simulator::Impl final : Connection::Host {
    Impl(Simulator* owner, SimOptions opts)
        : q(owner), options(std::move(opts)), switcher(options), shaping{Bounded(options.faults)} {
        if (options.demo) {
            switcher.SeedDemo();
        }
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
    Connection* serial = nullptr;     // the pty master
    Connection* client = nullptr;     // the TCP client served (one at a time)
    std::vector<Connection*> closing; // cut clients sending their last bytes
    QFile log;

    bool Start(std::string* error);
    bool Listen(std::string* error);
    bool OpenPty(std::string* error);
    void Stop();
    void Accept(int fd);
    Connection* Open(int fd, Pty* onPty);
    void Keep(const std::string& line);
    void Log(const std::string& line);

    // Connection::Host
    Reply ReplyTo(const std::string& line, bool overflow, bool discard) override;
    Pacing CurrentPacing() const override;
    void Retired(Connection& c) override;
    void Ended(Connection& c) override;
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
    std::string why;
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
    if (options.tcp && !Listen(&why)) {
        return fail(why);
    }
    if (!options.ptyPath.empty() && !OpenPty(&why)) {
        return fail(why);
    }
    return true;
}

bool Simulator::Impl::Listen(std::string* error) {
    server = new Listener([this](int fd) { Accept(fd); }, q);
    const QHostAddress address(QString::fromStdString(options.tcpAddress));
    if (!server->listen(address, options.tcpPort)) {
        *error = "cannot listen on " + options.tcpAddress + ":" + std::to_string(options.tcpPort) +
                 ": " + server->errorString().toStdString();
        return false;
    }
    std::lock_guard lock(mutex);
    tcpPort = server->serverPort();
    tcpAddress = server->serverAddress().toString().toStdString();
    return true;
}

bool Simulator::Impl::OpenPty(std::string* error) {
    if (!pty.Open(options.ptyPath, error)) {
        return false;
    }
    serial = Open(pty.MasterFd(), &pty);
    std::lock_guard lock(mutex);
    ptyPath = pty.LinkPath();
    slavePath = pty.SlavePath();
    return true;
}

void Simulator::Impl::Stop() {
    if (client != nullptr) {
        client->Kill();
    }
    while (!closing.empty()) {
        closing.front()->Kill();
    }
    if (serial != nullptr) {
        serial->Kill();
    }
    delete server;
    server = nullptr;
    pty.Close();
    log.close();
}

Connection* Simulator::Impl::Open(int fd, Pty* onPty) {
    return new Connection(*this, fd, onPty, {options.backlogLimit, options.backlogGraceMs}, q);
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
        client->Replace();
    }
    client = Open(fd, nullptr);
}

void Simulator::Impl::Retired(Connection& c) {
    if (client == &c) {
        closing.push_back(client);
        client = nullptr;
    }
}

void Simulator::Impl::Ended(Connection& c) {
    if (client == &c) {
        client = nullptr;
    }
    if (serial == &c) {
        serial = nullptr;
    }
    std::erase(closing, &c);
    c.deleteLater();
}

// --------------------------------------------------------------- requests ---

// Every line is logged before it counts as received, so that whoever saw it
// arrive finds it in the log too.
Reply Simulator::Impl::ReplyTo(const std::string& line, bool overflow, bool discard) {
    Log(line);
    // One lock for all three: whoever sees the line among the received ones
    // also sees what it did to the state, and its reply was shaped by the
    // faults in force when it came.
    std::lock_guard lock(mutex);
    Keep(line);
    // A replaced client's answers go nowhere: its queries are not encoded.
    const Answer answer = overflow ? Answer{} : switcher.Handle(line, !discard);
    return ShapeReply(answer, line, discard, shaping);
}

Pacing Simulator::Impl::CurrentPacing() const {
    std::lock_guard lock(mutex);
    return PacingOf(shaping.faults);
}

// Called with the mutex held.
void Simulator::Impl::Keep(const std::string& line) {
    if (lines.size() == kKeptLines) {
        lines.pop_front();
    }
    lines.push_back(line);
    ++lineCount;
    linesChanged.notify_all();
}

void Simulator::Impl::Log(const std::string& line) {
    if (log.isOpen()) {
        const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        log.write((stamp.toStdString() + " " + Printable(line) + "\n").c_str());
        log.flush();
    }
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

void Simulator::FrontPanel(const std::string& line) {
    std::lock_guard lock(d_->mutex);
    d_->switcher.Handle(line, false);
}

} // namespace qvsim
