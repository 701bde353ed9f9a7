#include "SerialChannel.h"

#include "HourglassScope.h"
#include "protocol/ReplyCollector.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>

namespace qvc {

namespace {

constexpr const char* kSendingText = "Sending command....";
constexpr const char* kOverflowText =
    "Error! RS-232 communication port output buffer overflow. Please resend command.";
constexpr const char* kRecoverTitle = "COM Port error";
constexpr const char* kRecoverText =
    "Error! COM Port communication with Quorvel has failed. Please check the RS-232 cable. Click "
    "OK to retry. Click Cancel to FAIL communications.";
constexpr const char* kNotRespondingPrefix = "Note: COM Port #";
constexpr const char* kInUseSuffix = " is not responding/being used by another application.";
constexpr const char* kNotRespondingSuffix = " is not responding.";
constexpr const char* kEstablishedText = "Established communication with Quorvel on Com ";
constexpr const char* kNoPortText = "None";

constexpr qint64 kPortBufferSize = 4096; // input and output buffers of the port
constexpr char kLineEnd = '\r';

int Remaining(const QElapsedTimer& clock, qint64 limitMs) {
    return static_cast<int>(std::max<qint64>(0, limitMs - clock.elapsed()));
}

} // namespace

SerialChannel::SerialChannel(const LinkContext& context, LinkExchange& exchange, QSerialPort& port,
                             LineMonitor& monitor, SerialPortMap ports)
    : ctx_(context), exchange_(exchange), port_(port), monitor_(monitor), ports_(std::move(ports)) {
    QObject::connect(&port_, &QSerialPort::readyRead, &ctx_.owner, [this] { ReadyRead(); });
    QObject::connect(&port_, &QSerialPort::errorOccurred, &ctx_.owner,
                     [this](QSerialPort::SerialPortError e) { PortError(e); });
}

SerialChannel::~SerialChannel() {
    // The link is going: nothing the port does reaches it any more.
    port_.disconnect(&ctx_.owner);
    if (port_.isOpen()) {
        port_.close();
    }
}

// --- the port ---------------------------------------------------------------

bool SerialChannel::PortAvailable(const QString& path) const {
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        return false;
    }
    // Opened and closed again to find out: a port another program holds
    // cannot be opened.
    QSerialPort trial;
    trial.setPortName(path);
    if (!trial.open(QIODevice::ReadWrite)) {
        return false;
    }
    trial.close();
    return true;
}

bool SerialChannel::OpenPort(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    port_.setPortName(path);
    port_.setBaudRate(baudRate_);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(hardwareFlowControl_ ? QSerialPort::HardwareControl
                                              : QSerialPort::NoFlowControl);
    port_.setReadBufferSize(kPortBufferSize);
    if (!port_.open(QIODevice::ReadWrite)) {
        return false;
    }
    inbox_.clear();
    monitor_.PortOpened();
    QueuePortEvent(true);
    return true;
}

void SerialChannel::ClosePort() {
    inbox_.clear();
    port_.close();
    QueuePortEvent(false);
}

void SerialChannel::Close() {
    if (port_.isOpen()) {
        ClosePort();
    }
}

void SerialChannel::SetBaudRate(int baud) {
    baudRate_ = baud;
    if (port_.isOpen()) {
        port_.setBaudRate(baud);
    }
}

// The port's open and close events arrive like the hardware driver's: as
// notifications on the event queue, after the call that caused them.
void SerialChannel::QueuePortEvent(bool open) {
    ++portEventsQueued_;
    QMetaObject::invokeMethod(
        &ctx_.owner, [this, open] { PortEvent(open); }, Qt::QueuedConnection);
}

void SerialChannel::PortEvent(bool open) {
    ++portEventsDelivered_;
    ctx_.state.SerialPortOpen = open;
    if (monitor_.Monitoring()) {
        monitor_.PollLamps();
    }
}

void SerialChannel::WaitForPortEvent() {
    const int awaited = portEventsQueued_;
    exchange_.SetFailed(false);
    exchange_.TimedWait([this, awaited] { return portEventsDelivered_ >= awaited; });
}

void SerialChannel::PortError(QSerialPort::SerialPortError error) {
    // The device went away: unplugged (a resource error), or the far end of a
    // pseudo-terminal closed (every read fails).
    if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && deviceLost_) {
        deviceLost_();
    }
    // A wait that runs out is not a fault of the port, and the lamp poll
    // finds out by itself whether the device reports its lines.
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError ||
        monitor_.ReadingLines()) {
        return;
    }
    portErrorSeen_ = true;
}

// --- receiving ----------------------------------------------------------------

// Moves what the port has received into the inbox, copying it to the
// terminal view on the way. The prompt wait and the reply collector consume
// the inbox, so both see every byte once, unchanged and in order.
void SerialChannel::PullSerial() {
    if (!port_.isOpen()) {
        return;
    }
    qint64 count = port_.bytesAvailable();
    if (!exchange_.ReplyPending()) {
        // Nobody is waiting: hold at most one port buffer; the rest stays in
        // the port until the next exchange discards it.
        count = std::min(count, kPortBufferSize - inbox_.size());
    }
    if (count <= 0) {
        return;
    }
    const QByteArray bytes = port_.read(count);
    if (bytes.isEmpty()) {
        return;
    }
    inbox_.append(bytes);
    monitor_.Received(bytes);
}

void SerialChannel::FlushInput() {
    PullSerial(); // the terminal still shows what came in
    inbox_.clear();
    if (port_.isOpen()) {
        port_.clear(QSerialPort::Input);
    }
}

// Data-available event of the port.
void SerialChannel::ReadyRead() {
    PullSerial();
    if (exchange_.ReplyPending()) {
        exchange_.CollectSerialReply(inbox_);
        inbox_.clear();
    }
}

// --- sending --------------------------------------------------------------------

void SerialChannel::WriteLine(const std::string& line) {
    if (!port_.isOpen()) {
        return;
    }
    QByteArray bytes(line.data(), static_cast<qsizetype>(line.size()));
    bytes.append(kLineEnd);
    const qint64 freeSpace = kPortBufferSize - port_.bytesToWrite();
    if (freeSpace > bytes.size()) {
        port_.write(bytes);
        port_.flush();
        monitor_.Sent();
    } else {
        ctx_.prompts.Message(kOverflowText);
    }
}

// Reads and consumes received bytes until the prompt character has been read
// or PromptTimeout ticks have passed. Blocks without dispatching events.
bool SerialChannel::WaitForPrompt() {
    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = static_cast<qint64>(exchange_.PromptTimeout()) * ctx_.timings.tickMs;
    for (;;) {
        const qsizetype at = inbox_.indexOf(static_cast<char>(kPrompt));
        if (at >= 0) {
            inbox_.remove(0, at + 1);
            return true;
        }
        inbox_.clear();
        const int remaining = Remaining(clock, limitMs);
        if (remaining <= 0 || !port_.isOpen()) {
            return false;
        }
        if (port_.bytesAvailable() == 0 && !port_.waitForReadyRead(remaining)) {
            if (port_.error() != QSerialPort::TimeoutError &&
                port_.error() != QSerialPort::NoError) {
                // The port failed; waiting on would only spin.
                portErrorSeen_ = true;
                return false;
            }
        }
        PullSerial();
    }
}

bool SerialChannel::AwaitPrompt(const std::string& line) {
    if (!port_.isOpen()) {
        return true;
    }
    const BusyScope busy(ctx_.state);
    FlushInput();
    ctx_.host.SetStatusText(kSendingText);
    const bool errorBefore = portErrorSeen_;
    exchange_.LogBegin(linkName_, line, WireKind::Command);
    WriteLine(line);
    // A port search keeps the pages disabled from its start to its end, so
    // its probes leave them alone.
    if (!pagesHeldBySearch_) {
        ctx_.host.SetPageControlEnabled(false);
    }
    const bool acknowledged = WaitForPrompt();
    exchange_.LogEnd(acknowledged ? WireOutcome::Prompt : Unanswered(errorBefore));
    ctx_.host.SetStatusText(QString());
    if (!pagesHeldBySearch_) {
        ctx_.host.SetPageControlEnabled(true);
    }
    return acknowledged;
}

void SerialChannel::CommandExchange() {
    HourglassScope hourglass(ctx_.host);
    if (AwaitPrompt(exchange_.CommandLine())) {
        return;
    }
    // The command itself is not repeated: two bare CRs find out whether the
    // switcher answers at all.
    if (AwaitPrompt(std::string())) {
        return;
    }
    if (AwaitPrompt(std::string())) {
        return;
    }
    RecoverPort();
}

void SerialChannel::RecoverPort() {
    bool acknowledged = false;
    while (!acknowledged) {
        exchange_.SetPromptTimeout(ctx_.timings.probeTicks);
        DeviceLink::PortCheck result = OpenAndCheckPort(portNumber_);
        while (result != DeviceLink::PortAnswered) {
            if (!ctx_.prompts.OkCancel(kRecoverTitle, kRecoverText)) {
                // Dropped; the prompt wait stays short until the next search
                // or successful re-open.
                return;
            }
            result = OpenAndCheckPort(portNumber_);
        }
        exchange_.SetPromptTimeout(ctx_.timings.commandTicks);
        acknowledged = AwaitPrompt(exchange_.CommandLine());
    }
}

void SerialChannel::QueryStatus() {
    if (!port_.isOpen()) {
        exchange_.SetFailed(true);
        return;
    }
    exchange_.SetFailed(false);
    exchange_.ClearTimeout();
    exchange_.BeginSerialReply();
    FlushInput();
    exchange_.StartTimer1();
    const bool errorBefore = portErrorSeen_;
    exchange_.LogBegin(linkName_, exchange_.CommandLine(), WireKind::Query);
    WriteLine(exchange_.CommandLine());
    exchange_.DispatchUntil([this] { return !exchange_.ReplyPending() || exchange_.Failed(); });
    exchange_.StopTimer1();
    if (!exchange_.ReplyPending() && !exchange_.Failed()) {
        exchange_.LogEnd(WireOutcome::Reply, static_cast<qint64>(exchange_.ReplyLength()));
    } else {
        exchange_.LogEnd(Unanswered(errorBefore));
    }
    // After a failure, late bytes stay in the port for the next exchange to
    // discard.
    exchange_.EndReply();
}

QByteArray SerialChannel::Forward(int expectedLength, int waitMs) {
    if (!port_.isOpen()) {
        return {};
    }
    const BusyScope busy(ctx_.state);
    FlushInput();
    WriteLine(exchange_.CommandLine());
    QElapsedTimer clock;
    clock.start();
    AnswerCollector answer(expectedLength);
    for (;;) {
        answer.Add(std::span(reinterpret_cast<const std::uint8_t*>(inbox_.constData()),
                             static_cast<std::size_t>(inbox_.size())));
        inbox_.clear();
        const int remaining = Remaining(clock, waitMs);
        if (!answer.WantsMore() || remaining <= 0 || !port_.isOpen()) {
            break;
        }
        if (port_.bytesAvailable() == 0 && !port_.waitForReadyRead(remaining) &&
            port_.error() != QSerialPort::TimeoutError && port_.error() != QSerialPort::NoError) {
            portErrorSeen_ = true;
            break;
        }
        PullSerial();
    }
    const auto bytes = answer.Answer();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

WireOutcome SerialChannel::Unanswered(bool errorBefore) const {
    return !port_.isOpen() || (portErrorSeen_ && !errorBefore) ? WireOutcome::Failure
                                                               : WireOutcome::Timeout;
}

// --- probe and search -------------------------------------------------------------

DeviceLink::PortCheck SerialChannel::OpenAndCheckPort(int n) {
    // The device behind the number is looked up once, now: the system's
    // port list may have changed since the last open.
    const QString path = ports_.DevicePath(n);
    // With no port open, a port that does not exist or that another program
    // holds is passed over silently. An open port is always closed first,
    // whatever number is asked for: the open that follows then reports a
    // port that is absent or held.
    if (!port_.isOpen() && !PortAvailable(path)) {
        return DeviceLink::PortUnavailable;
    }
    if (port_.isOpen()) {
        ClosePort();
        WaitForPortEvent();
    }
    portNumber_ = n;
    linkName_ = QStringLiteral("RS-232 COM%1").arg(n);
    if (!port_.isOpen()) {
        if (!OpenPort(path)) {
            ctx_.prompts.Message(kNotRespondingPrefix + QString::number(n) + kInUseSuffix);
            return DeviceLink::PortOpenFailed;
        }
        WaitForPortEvent();
    }
    portErrorSeen_ = false;
    port_.clearError();
    bool answered = AwaitPrompt(std::string());
    if (!answered && !portErrorSeen_) {
        answered = AwaitPrompt(std::string());
    }
    if (portErrorSeen_) {
        ctx_.prompts.Message(kNotRespondingPrefix + QString::number(n) + kNotRespondingSuffix);
        return DeviceLink::PortFaulted;
    }
    return answered ? DeviceLink::PortAnswered : DeviceLink::PortSilent;
}

int SerialChannel::SearchPorts(int n) {
    ctx_.host.SetPageControlEnabled(false);
    pagesHeldBySearch_ = true;
    ctx_.host.SetHourglass(true);
    exchange_.SetPromptTimeout(ctx_.timings.probeTicks);
    int found = 0;
    if (n >= 1 && n <= 4) {
        if (OpenAndCheckPort(n) == DeviceLink::PortAnswered) {
            found = n;
        }
    } else if (n == 0) {
        for (int i = 1; i <= 4; ++i) {
            if (OpenAndCheckPort(i) == DeviceLink::PortAnswered) {
                found = i;
                break;
            }
        }
    }
    int result = -1;
    if (found != 0) {
        ctx_.host.SetStatusText(kEstablishedText + QString::number(found));
        ctx_.host.SetComNumberText(QString::number(found));
        result = 1;
    } else {
        Close();
        ctx_.host.SetComNumberText(kNoPortText);
    }
    exchange_.SetPromptTimeout(ctx_.timings.commandTicks);
    ctx_.host.SetHourglass(false);
    pagesHeldBySearch_ = false;
    ctx_.host.SetPageControlEnabled(true);
    return result;
}

} // namespace qvc
