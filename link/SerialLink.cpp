// The serial half of the link: the port and its fixed line settings, the
// prompt wait, the reply collector, the port probe and search, the recovery
// dialog and the line lamps.
#include "DeviceLinkImpl.h"

#include <QCoreApplication>
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
constexpr int kLampPollMs = 100;
constexpr qint64 kActivityMs = 100; // how long TXD/RXD stay lit after traffic

int Remaining(const QElapsedTimer& clock, qint64 limitMs) {
    return static_cast<int>(std::max<qint64>(0, limitMs - clock.elapsed()));
}

} // namespace

// --- the port ---------------------------------------------------------------

bool DeviceLink::Impl::PortAvailable(const QString& path) const {
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

bool DeviceLink::Impl::OpenPort(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    port.setPortName(path);
    port.setBaudRate(baudRate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(hardwareFlowControl ? QSerialPort::HardwareControl
                                            : QSerialPort::NoFlowControl);
    port.setReadBufferSize(kPortBufferSize);
    if (!port.open(QIODevice::ReadWrite)) {
        return false;
    }
    inbox.clear();
    linesUnsupported = false;
    QueuePortEvent(true);
    return true;
}

void DeviceLink::Impl::ClosePort() {
    inbox.clear();
    port.close();
    QueuePortEvent(false);
}

// The port's open and close events arrive like the hardware driver's: as
// notifications on the event queue, after the call that caused them.
void DeviceLink::Impl::QueuePortEvent(bool open) {
    ++portEventsQueued;
    QMetaObject::invokeMethod(
        &q, [this, open] { PortEvent(open); }, Qt::QueuedConnection);
}

void DeviceLink::Impl::PortEvent(bool open) {
    ++portEventsDelivered;
    state.SerialPortOpen = open;
    if (lampTimer.isActive()) {
        PollLamps();
    }
}

void DeviceLink::Impl::WaitForPortEvent() {
    const int awaited = portEventsQueued;
    exchangeFailed = false;
    timeoutSeen = false;
    StartTimer1();
    DispatchUntil([this, awaited] { return portEventsDelivered >= awaited; });
    StopTimer1();
}

void DeviceLink::Impl::PortError(QSerialPort::SerialPortError error) {
    // A wait that runs out is not a fault of the port, and the lamp poll
    // finds out by itself whether the device reports its lines.
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || ignorePortErrors) {
        return;
    }
    portErrorSeen = true;
}

// --- receiving ----------------------------------------------------------------

// Moves what the port has received into the inbox, copying it to the
// terminal view on the way. The prompt wait and the reply collector consume
// the inbox, so both see every byte once, unchanged and in order.
void DeviceLink::Impl::PullSerial() {
    if (!port.isOpen()) {
        return;
    }
    qint64 count = port.bytesAvailable();
    if (!replyPending) {
        // Nobody is waiting: hold at most one port buffer; the rest stays in
        // the port until the next exchange discards it.
        count = std::min(count, kPortBufferSize - inbox.size());
    }
    if (count <= 0) {
        return;
    }
    const QByteArray bytes = port.read(count);
    if (bytes.isEmpty()) {
        return;
    }
    inbox.append(bytes);
    host.TerminalReceived(bytes);
    FlashRxd();
}

void DeviceLink::Impl::FlushInput() {
    PullSerial(); // the terminal still shows what came in
    inbox.clear();
    if (port.isOpen()) {
        port.clear(QSerialPort::Input);
    }
}

// Data-available event of the port.
void DeviceLink::Impl::SerialReadyRead() {
    PullSerial();
    if (replyPending) {
        CollectReply();
    }
}

// The serial reply collector: a reply is complete at the first '#' at an
// index of ExpectedLength or more that follows CR LF. Later bytes of the same
// block are ignored. A reply that fills the receive buffer without ending is
// not stored further; the reply timer then fails the exchange.
void DeviceLink::Impl::CollectReply() {
    const std::size_t expected = static_cast<std::size_t>(std::max(expectedLength, 0));
    for (const char c : std::as_const(inbox)) {
        if (receivePosition >= receiveBuffer.size()) {
            break;
        }
        const auto byte = static_cast<std::uint8_t>(c);
        const std::size_t p = receivePosition;
        receiveBuffer[p] = byte;
        if (byte == kPrompt && p >= expected && p >= 2 && receiveBuffer[p - 1] == kLf &&
            receiveBuffer[p - 2] == kCr) {
            receivePosition = 0;
            replyPending = false;
            break;
        }
        ++receivePosition;
    }
    inbox.clear();
}

// --- sending --------------------------------------------------------------------

void DeviceLink::Impl::WriteLine(const std::string& line) {
    if (!port.isOpen()) {
        return;
    }
    QByteArray bytes(line.data(), static_cast<qsizetype>(line.size()));
    bytes.append(kLineEnd);
    const qint64 freeSpace = kPortBufferSize - port.bytesToWrite();
    if (freeSpace > bytes.size()) {
        port.write(bytes);
        port.flush();
        FlashTxd();
    } else {
        prompts.Message(kOverflowText);
    }
}

// Reads and consumes received bytes until the prompt character has been read
// or PromptTimeout ticks have passed. Blocks without dispatching events.
bool DeviceLink::Impl::WaitForPrompt() {
    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = static_cast<qint64>(promptTimeout) * timings.tickMs;
    for (;;) {
        const qsizetype at = inbox.indexOf(static_cast<char>(kPrompt));
        if (at >= 0) {
            inbox.remove(0, at + 1);
            return true;
        }
        inbox.clear();
        const int remaining = Remaining(clock, limitMs);
        if (remaining <= 0 || !port.isOpen()) {
            return false;
        }
        if (port.bytesAvailable() == 0 && !port.waitForReadyRead(remaining)) {
            if (port.error() != QSerialPort::TimeoutError && port.error() != QSerialPort::NoError) {
                // The port failed; waiting on would only spin.
                portErrorSeen = true;
                return false;
            }
        }
        PullSerial();
    }
}

bool DeviceLink::Impl::AwaitPrompt(const std::string& line) {
    if (!port.isOpen()) {
        return true;
    }
    const BusyScope busy(state);
    FlushInput();
    host.SetStatusText(kSendingText);
    WriteLine(line);
    // A port search keeps the pages disabled from its start to its end, so
    // its probes leave them alone.
    if (!pagesHeldBySearch) {
        host.SetPageControlEnabled(false);
    }
    const bool acknowledged = WaitForPrompt();
    host.SetStatusText(QString());
    if (!pagesHeldBySearch) {
        host.SetPageControlEnabled(true);
    }
    return acknowledged;
}

void DeviceLink::Impl::SerialCommandExchange() {
    HourglassScope hourglass(host);
    if (AwaitPrompt(commandBuffer)) {
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

void DeviceLink::Impl::RecoverPort() {
    bool acknowledged = false;
    while (!acknowledged) {
        promptTimeout = timings.probeTicks;
        PortCheck result = OpenAndCheckPort(portNumber);
        while (result != PortAnswered) {
            if (!prompts.OkCancel(kRecoverTitle, kRecoverText)) {
                // Dropped; the prompt wait stays short until the next search
                // or successful re-open.
                return;
            }
            result = OpenAndCheckPort(portNumber);
        }
        promptTimeout = timings.commandTicks;
        acknowledged = AwaitPrompt(commandBuffer);
    }
}

void DeviceLink::Impl::SerialQueryStatus() {
    if (!port.isOpen()) {
        exchangeFailed = true;
        return;
    }
    exchangeFailed = false;
    timeoutSeen = false;
    // The whole buffer is cleared, so that nothing of an earlier reply can
    // pass for part of this one.
    receiveBuffer.fill(0);
    receivePosition = 0;
    replyPending = true;
    FlushInput();
    StartTimer1();
    WriteLine(commandBuffer);
    DispatchUntil([this] { return !replyPending || exchangeFailed; });
    StopTimer1();
    // After a failure, late bytes stay in the port for the next exchange to
    // discard.
    replyPending = false;
}

// --- probe and search -------------------------------------------------------------

DeviceLink::PortCheck DeviceLink::Impl::OpenAndCheckPort(int n) {
    // The device behind the number is looked up once, now: the system's
    // port list may have changed since the last open.
    const QString path = ports.DevicePath(n);
    // With no port open, a port that does not exist or that another program
    // holds is passed over silently. An open port is always closed first,
    // whatever number is asked for: the open that follows then reports a
    // port that is absent or held.
    if (!port.isOpen() && !PortAvailable(path)) {
        return PortUnavailable;
    }
    if (port.isOpen()) {
        ClosePort();
        WaitForPortEvent();
    }
    portNumber = n;
    if (!port.isOpen()) {
        if (!OpenPort(path)) {
            prompts.Message(kNotRespondingPrefix + QString::number(n) + kInUseSuffix);
            return PortOpenFailed;
        }
        WaitForPortEvent();
    }
    portErrorSeen = false;
    port.clearError();
    bool answered = AwaitPrompt(std::string());
    if (!answered && !portErrorSeen) {
        answered = AwaitPrompt(std::string());
    }
    if (portErrorSeen) {
        prompts.Message(kNotRespondingPrefix + QString::number(n) + kNotRespondingSuffix);
        return PortFaulted;
    }
    return answered ? PortAnswered : PortSilent;
}

int DeviceLink::Impl::SearchPorts(int n) {
    host.SetPageControlEnabled(false);
    pagesHeldBySearch = true;
    host.SetHourglass(true);
    promptTimeout = timings.probeTicks;
    int found = 0;
    if (n >= 1 && n <= 4) {
        if (OpenAndCheckPort(n) == PortAnswered) {
            found = n;
        }
    } else if (n == 0) {
        for (int i = 1; i <= 4; ++i) {
            if (OpenAndCheckPort(i) == PortAnswered) {
                found = i;
                break;
            }
        }
    }
    int result = -1;
    if (found != 0) {
        host.SetStatusText(kEstablishedText + QString::number(found));
        host.SetComNumberText(QString::number(found));
        result = 1;
    } else {
        if (port.isOpen()) {
            ClosePort();
        }
        host.SetComNumberText(kNoPortText);
    }
    promptTimeout = timings.commandTicks;
    host.SetHourglass(false);
    pagesHeldBySearch = false;
    host.SetPageControlEnabled(true);
    return result;
}

// --- line lamps -------------------------------------------------------------------

void DeviceLink::Impl::SetMonitoring(bool on) {
    if (on) {
        if (!lampTimer.isActive()) {
            lampTimer.start(kLampPollMs);
        }
        PollLamps();
    } else {
        lampTimer.stop();
        lampsShown = false;
        PushLamps(LineLamps{});
    }
}

void DeviceLink::Impl::FlashTxd() {
    txdSince.start();
    if (lampTimer.isActive() && !lamps.txd) {
        LineLamps now = lamps;
        now.txd = true;
        PushLamps(now);
    }
}

void DeviceLink::Impl::FlashRxd() {
    rxdSince.start();
    if (lampTimer.isActive() && !lamps.rxd) {
        LineLamps now = lamps;
        now.rxd = true;
        PushLamps(now);
    }
}

void DeviceLink::Impl::PollLamps() {
    LineLamps now;
    if (port.isOpen() && !linesUnsupported) {
        // A pseudo-terminal cannot report its lines: they then stay unlit.
        ignorePortErrors = true;
        port.clearError();
        const QSerialPort::PinoutSignals lines = port.pinoutSignals();
        const bool failed = port.error() != QSerialPort::NoError;
        port.clearError();
        ignorePortErrors = false;
        if (failed) {
            linesUnsupported = true;
        } else {
            now.cts = lines.testFlag(QSerialPort::ClearToSendSignal);
            now.dsr = lines.testFlag(QSerialPort::DataSetReadySignal);
            now.dcd = lines.testFlag(QSerialPort::DataCarrierDetectSignal);
        }
    }
    now.txd = txdSince.isValid() && txdSince.elapsed() < kActivityMs;
    now.rxd = rxdSince.isValid() && rxdSince.elapsed() < kActivityMs;
    PushLamps(now);
}

void DeviceLink::Impl::PushLamps(const LineLamps& now) {
    const bool same = lampsShown && now.txd == lamps.txd && now.rxd == lamps.rxd &&
                      now.dcd == lamps.dcd && now.dsr == lamps.dsr && now.cts == lamps.cts;
    if (same) {
        return;
    }
    lamps = now;
    lampsShown = true;
    host.SetLineLamps(now);
}

} // namespace qvc
