#include "Simulator.h"

#include "Encoder.h"
#include "Pty.h"
#include "Switcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <unistd.h>

namespace qvsim {

namespace {

constexpr std::size_t kMaxLineLength = 4096; // longer lines are answered as malformed
constexpr int kNoSohWindowText = 28;         // text before a replaced SOH: window 0..29 clean
constexpr double kBaudBurstSeconds = 0.005;  // pacing may catch up at most this much

enum class Channel { Pty, Tcp };

struct OutItem {
    Channel channel = Channel::Pty;
    quint64 generation = 0; // TCP client the answer belongs to
    std::vector<std::uint8_t> bytes;
    std::size_t sent = 0;
    qint64 readyAtMs = 0;
    long cutAt = -1; // stop after this many bytes (close-after)
};

std::string FirstWord(const std::string& line) {
    const auto start = line.find_first_not_of(' ');
    if (start == std::string::npos) {
        return {};
    }
    const auto end = line.find(' ', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
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
        : q(owner), options(std::move(opts)), switcher(options), faults(options.faults) {
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
    SimFaults faults;
    std::map<std::string, std::vector<std::uint8_t>> canned;
    std::deque<std::string> lines; // the most recent kKeptLines lines
    std::size_t lineCount = 0;     // lines since the last clear, also those let go
    int noSohSeen = 0; // occurrences of faults.noSohQuery since it was set
    int probeRun = 0;  // consecutive bare CRs
    quint16 tcpPort = 0;
    std::string tcpAddress;
    std::string ptyPath;
    std::string slavePath;

    // Owned by the simulator's thread.
    QTcpServer* server = nullptr;
    QTcpSocket* client = nullptr;
    quint64 tcpGeneration = 0;
    Pty pty;
    QSocketNotifier* ptyReadable = nullptr;
    QSocketNotifier* ptyWritable = nullptr;
    std::vector<std::uint8_t> ptyPending; // bytes the pty did not take yet
    std::string ptyLine;
    std::string tcpLine;
    bool ptyOverflow = false;
    bool tcpOverflow = false;
    std::deque<OutItem> out;
    QTimer* pumpTimer = nullptr;
    QElapsedTimer clock;
    double baudCredit = 0; // bytes that may be written now
    qint64 creditAtNs = 0;
    QFile log;

    bool Start(std::string* error);
    void Stop();
    void AcceptClient(QTcpSocket* socket);
    void DropClient();
    void ReadPty();
    void FlushPty();
    void Feed(Channel channel, const char* data, std::size_t n);
    void HandleLine(Channel channel, const std::string& line, bool overflow);
    void Pump();
    bool Alive(const OutItem& item) const;
    void Write(Channel channel, const std::uint8_t* data, std::size_t n);
    void Cut(const OutItem& item);
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
    pumpTimer = new QTimer(q);
    pumpTimer->setSingleShot(true);
    pumpTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(pumpTimer, &QTimer::timeout, q, [this] { Pump(); });

    if (!options.logFile.empty()) {
        log.setFileName(QString::fromStdString(options.logFile));
        if (!log.open(QIODevice::Append | QIODevice::Text)) {
            return fail("cannot open log file " + options.logFile + ": " +
                        log.errorString().toStdString());
        }
    }
    if (options.tcp) {
        server = new QTcpServer(q);
        const QHostAddress address(QString::fromStdString(options.tcpAddress));
        if (!server->listen(address, options.tcpPort)) {
            return fail("cannot listen on " + options.tcpAddress + ":" +
                        std::to_string(options.tcpPort) + ": " +
                        server->errorString().toStdString());
        }
        QObject::connect(server, &QTcpServer::newConnection, q, [this] {
            while (QTcpSocket* s = server->nextPendingConnection()) {
                AcceptClient(s);
            }
        });
        std::lock_guard lock(mutex);
        tcpPort = server->serverPort();
        tcpAddress = server->serverAddress().toString().toStdString();
    }
    if (!options.ptyPath.empty()) {
        std::string why;
        if (!pty.Open(options.ptyPath, &why)) {
            return fail(why);
        }
        ptyReadable = new QSocketNotifier(pty.MasterFd(), QSocketNotifier::Read, q);
        QObject::connect(ptyReadable, &QSocketNotifier::activated, q, [this] { ReadPty(); });
        ptyWritable = new QSocketNotifier(pty.MasterFd(), QSocketNotifier::Write, q);
        ptyWritable->setEnabled(false);
        QObject::connect(ptyWritable, &QSocketNotifier::activated, q, [this] { FlushPty(); });
        std::lock_guard lock(mutex);
        ptyPath = pty.LinkPath();
        slavePath = pty.SlavePath();
    }
    return true;
}

void Simulator::Impl::Stop() {
    out.clear();
    if (pumpTimer != nullptr) {
        pumpTimer->stop();
    }
    if (client != nullptr) {
        QObject::disconnect(client, nullptr, q, nullptr);
        client->abort();
        delete client;
        client = nullptr;
    }
    delete server;
    server = nullptr;
    delete ptyReadable;
    ptyReadable = nullptr;
    delete ptyWritable;
    ptyWritable = nullptr;
    pty.Close();
    ptyPending.clear();
    log.close();
}

// One client at a time: a new connection replaces the old one.
void Simulator::Impl::AcceptClient(QTcpSocket* socket) {
    DropClient();
    client = socket;
    ++tcpGeneration;
    tcpLine.clear();
    tcpOverflow = false;
    QObject::connect(socket, &QTcpSocket::readyRead, q, [this, socket] {
        const QByteArray data = socket->readAll();
        if (socket == client) {
            Feed(Channel::Tcp, data.constData(), static_cast<std::size_t>(data.size()));
        }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, q, [this, socket] {
        if (socket == client) {
            client = nullptr;
            ++tcpGeneration;
        }
        socket->deleteLater();
    });
}

void Simulator::Impl::DropClient() {
    if (client == nullptr) {
        return;
    }
    QTcpSocket* old = client;
    // What the old client sent before the new one connected still counts: a
    // client that sends a line and reconnects at once must not lose the line.
    old->waitForReadyRead(0);
    if (const QByteArray rest = old->readAll(); !rest.isEmpty()) {
        Feed(Channel::Tcp, rest.constData(), static_cast<std::size_t>(rest.size()));
    }
    client = nullptr;
    ++tcpGeneration;
    old->abort();
    old->deleteLater();
}

void Simulator::Impl::ReadPty() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(pty.MasterFd(), buf, sizeof buf);
        if (n > 0) {
            pty.KeepRaw();
            Feed(Channel::Pty, buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // No reader can be attached right now (should not happen while we
            // hold a slave descriptor); look again a little later.
            ptyReadable->setEnabled(false);
            QTimer::singleShot(50, q, [this] {
                if (ptyReadable != nullptr) {
                    ptyReadable->setEnabled(true);
                }
            });
        }
        return;
    }
}

void Simulator::Impl::FlushPty() {
    while (!ptyPending.empty()) {
        const ssize_t n = ::write(pty.MasterFd(), ptyPending.data(), ptyPending.size());
        if (n > 0) {
            ptyPending.erase(ptyPending.begin(), ptyPending.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            ptyWritable->setEnabled(true);
            return;
        }
        ptyPending.clear(); // the pty is gone
    }
    ptyWritable->setEnabled(false);
}

void Simulator::Impl::Write(Channel channel, const std::uint8_t* data, std::size_t n) {
    if (channel == Channel::Tcp) {
        client->write(reinterpret_cast<const char*>(data), static_cast<qint64>(n));
        return;
    }
    ptyPending.insert(ptyPending.end(), data, data + n);
    FlushPty();
}

// --------------------------------------------------------------- requests ---

// Collects bytes into lines: CR ends a line, LF is ignored.
void Simulator::Impl::Feed(Channel channel, const char* data, std::size_t n) {
    std::string& line = channel == Channel::Tcp ? tcpLine : ptyLine;
    bool& overflow = channel == Channel::Tcp ? tcpOverflow : ptyOverflow;
    const quint64 generation = tcpGeneration;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (c == '\r') {
            const std::string complete = std::move(line);
            const bool tooLong = overflow;
            line.clear();
            overflow = false;
            HandleLine(channel, complete, tooLong);
            if (channel == Channel::Tcp && generation != tcpGeneration) {
                return; // the connection was closed while answering
            }
        } else if (c == '\n') {
            continue;
        } else if (line.size() < kMaxLineLength) {
            line += c;
        } else {
            overflow = true;
        }
    }
}

void Simulator::Impl::HandleLine(Channel channel, const std::string& line, bool overflow) {
    OutItem item;
    item.channel = channel;
    item.generation = tcpGeneration;
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

        const Answer answer = overflow ? Answer{} : switcher.Handle(line);
        const std::string word = FirstWord(line);
        probeRun = answer.kind == Answer::Kind::Probe ? probeRun + 1 : 0;
        const bool sohMissing = answer.kind == Answer::Kind::Status && !faults.noSohQuery.empty() &&
                                word == faults.noSohQuery && ++noSohSeen >= faults.noSohFrom;
        if (faults.silent) {
            return;
        }
        if (const auto it = canned.find(word); it != canned.end()) {
            item.bytes = std::move(it->second);
            canned.erase(it);
        } else {
            switch (answer.kind) {
            case Answer::Kind::Probe:
                if (!(faults.secondProbeOnly && probeRun == 1)) {
                    item.bytes = {kPrompt};
                }
                break;
            case Answer::Kind::Prompt:
            case Answer::Kind::Malformed:
                if (!faults.noPrompt) {
                    item.bytes = {kPrompt};
                }
                break;
            case Answer::Kind::Status: {
                const int textLength = sohMissing ? std::max(faults.textBeforeSoh, kNoSohWindowText)
                                                  : faults.textBeforeSoh;
                item.bytes =
                    FrameReply(FillerText(static_cast<std::size_t>(textLength)),
                               sohMissing ? kSohStandIn : kSoh,
                               static_cast<std::uint8_t>('0' + static_cast<int>(answer.query)),
                               answer.payload);
                break;
            }
            }
        }
        if (answer.kind == Answer::Kind::Status) {
            item.cutAt = faults.closeAfter;
        }
        item.readyAtMs = clock.elapsed() + faults.replyDelayMs;
    }
    if (item.bytes.empty() && item.cutAt < 0) {
        return;
    }
    out.push_back(std::move(item));
    if (!pumpTimer->isActive()) {
        Pump();
    }
}

// ------------------------------------------------------------ output pump ---

bool Simulator::Impl::Alive(const OutItem& item) const {
    if (item.channel == Channel::Tcp) {
        return client != nullptr && item.generation == tcpGeneration;
    }
    return pty.IsOpen();
}

void Simulator::Impl::Cut(const OutItem& item) {
    if (item.channel == Channel::Tcp) {
        QTcpSocket* s = client;
        client = nullptr;
        ++tcpGeneration;
        s->disconnectFromHost(); // after what was written so far
    }
}

// Writes queued answers, honouring the reply delay, chunking, baud pacing and
// close-after. Runs whenever an answer is queued and on its own timer.
void Simulator::Impl::Pump() {
    while (!out.empty()) {
        OutItem& item = out.front();
        if (!Alive(item)) {
            out.pop_front();
            continue;
        }
        const qint64 nowMs = clock.elapsed();
        if (nowMs < item.readyAtMs) {
            pumpTimer->start(static_cast<int>(item.readyAtMs - nowMs));
            return;
        }
        if (item.cutAt >= 0 && item.sent >= static_cast<std::size_t>(item.cutAt)) {
            Cut(item);
            out.pop_front();
            continue;
        }
        SimFaults f;
        {
            std::lock_guard lock(mutex);
            f = faults;
        }
        std::size_t n = item.bytes.size() - item.sent;
        if (item.cutAt >= 0) {
            n = std::min(n, static_cast<std::size_t>(item.cutAt) - item.sent);
        }
        if (f.chunkSize > 0) {
            n = std::min(n, static_cast<std::size_t>(f.chunkSize));
        }
        if (f.baud > 0) {
            const double bytesPerSecond = f.baud / 10.0;
            const qint64 nowNs = clock.nsecsElapsed();
            const double burst = std::max(1.0, bytesPerSecond * kBaudBurstSeconds);
            baudCredit = std::min(burst, baudCredit + static_cast<double>(nowNs - creditAtNs) *
                                                          bytesPerSecond / 1e9);
            creditAtNs = nowNs;
            if (baudCredit < 1.0) {
                const double waitMs = (1.0 - baudCredit) * 1000.0 / bytesPerSecond;
                pumpTimer->start(std::max(1, static_cast<int>(std::ceil(waitMs))));
                return;
            }
            n = std::min(n, static_cast<std::size_t>(baudCredit));
            baudCredit -= static_cast<double>(n);
        }
        if (n > 0) {
            Write(item.channel, item.bytes.data() + item.sent, n);
            item.sent += n;
        }
        if (item.sent == item.bytes.size() && item.cutAt < 0) {
            out.pop_front();
            continue;
        }
        if (item.sent == item.bytes.size() && item.sent < static_cast<std::size_t>(item.cutAt)) {
            out.pop_front(); // the reply was shorter than the cut
            continue;
        }
        if (f.chunkSize > 0 && f.chunkPauseMs > 0 && item.sent < item.bytes.size()) {
            item.readyAtMs = clock.elapsed() + f.chunkPauseMs;
        }
    }
    // Idle: pacing starts afresh with the next answer.
    baudCredit = 0;
    creditAtNs = clock.nsecsElapsed();
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

void Simulator::SetSilent(bool on) {
    std::lock_guard lock(d_->mutex);
    d_->faults.silent = on;
}
void Simulator::SetNoPrompt(bool on) {
    std::lock_guard lock(d_->mutex);
    d_->faults.noPrompt = on;
}
void Simulator::SetReplyDelay(int ms) {
    std::lock_guard lock(d_->mutex);
    d_->faults.replyDelayMs = std::max(0, ms);
}
void Simulator::SetChunk(int size, int pauseMs) {
    std::lock_guard lock(d_->mutex);
    d_->faults.chunkSize = std::max(0, size);
    d_->faults.chunkPauseMs = std::max(0, pauseMs);
}
void Simulator::SetTextBeforeSoh(int n) {
    std::lock_guard lock(d_->mutex);
    d_->faults.textBeforeSoh = std::max(0, n);
}
void Simulator::SetNoSoh(const std::string& query, int fromOccurrence) {
    std::lock_guard lock(d_->mutex);
    d_->faults.noSohQuery = query;
    d_->faults.noSohFrom = std::max(1, fromOccurrence);
    d_->noSohSeen = 0;
}
void Simulator::SetCloseAfter(int bytes) {
    std::lock_guard lock(d_->mutex);
    d_->faults.closeAfter = std::max(-1, bytes);
}
void Simulator::SetSecondProbeOnly(bool on) {
    std::lock_guard lock(d_->mutex);
    d_->faults.secondProbeOnly = on;
}
void Simulator::SetBaud(int baud) {
    std::lock_guard lock(d_->mutex);
    d_->faults.baud = std::max(0, baud);
}
SimFaults Simulator::Faults() const {
    std::lock_guard lock(d_->mutex);
    return d_->faults;
}
void Simulator::SetCannedReply(const std::string& word, std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(d_->mutex);
    d_->canned[word] = std::move(bytes);
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
