// The transaction engine: link choice, the reply timer, the dispatching
// waits and the one entry point for write commands. The serial and TCP halves live in
// SerialLink.cpp and TcpLink.cpp.
#include "DeviceLink.h"

#include "DeviceLinkImpl.h"
#include "protocol/Commands.h"

#include <QCoreApplication>

namespace qvc {

namespace {

constexpr const char* kEthernetTimeoutText =
    "Error! Timeout occured. Unable to communicate with Quorvel. Please verify that Ethernet is "
    "connected to Quorvel.";
constexpr const char* kSerialTimeoutText =
    "Error! Timeout occured. Unable to communicate with Quorvel. Please verify that Serial Port "
    "is connected to Quorvel.";

} // namespace

DeviceLink::Impl::Impl(DeviceLink& owner, LinkState& linkState, LinkHost& linkHost,
                       Prompts& linkPrompts, SerialPortMap portMap, LinkTimings linkTimings,
                       quint16 tcpPortNumber)
    : q(owner), state(linkState), host(linkHost), prompts(linkPrompts), ports(std::move(portMap)),
      timings(linkTimings), tcpPort(tcpPortNumber), promptTimeout(linkTimings.commandTicks) {}

DeviceLink::DeviceLink(LinkState& state, LinkHost& host, Prompts& prompts, SerialPortMap ports,
                       LinkTimings timings, quint16 tcpPort, QObject* parent)
    : QObject(parent),
      d_(std::make_unique<Impl>(*this, state, host, prompts, std::move(ports), timings, tcpPort)) {
    d_->timer1.setSingleShot(true);
    connect(&d_->timer1, &QTimer::timeout, this, [this] { d_->Timer1Timer(); });

    connect(&d_->port, &QSerialPort::readyRead, this, [this] { d_->SerialReadyRead(); });
    connect(&d_->port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { d_->PortError(e); });
    connect(&d_->lampTimer, &QTimer::timeout, this, [this] { d_->PollLamps(); });

    connect(&d_->socket, &QTcpSocket::connected, this,
            [this] { d_->state.EthernetConnected = true; });
    connect(&d_->socket, &QTcpSocket::disconnected, this,
            [this] { d_->state.EthernetConnected = false; });
    connect(&d_->socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { d_->SocketError(e); });
}

DeviceLink::~DeviceLink() {
    // Nothing may call back into a half-destroyed link.
    d_->timer1.disconnect(this);
    d_->port.disconnect(this);
    d_->lampTimer.disconnect(this);
    d_->socket.disconnect(this);
    d_->socket.abort();
    if (d_->port.isOpen()) {
        d_->port.close();
    }
}

// --- reply timer and dispatching waits ------------------------------------

void DeviceLink::Impl::StartTimer1() {
    timer1.start(timings.replyTimerMs);
}

void DeviceLink::Impl::StopTimer1() {
    timer1.stop();
}

void DeviceLink::Impl::Timer1Timer() {
    StopTimer1();
    if (!waitDone || waitDone()) {
        // The wait got what it waited for in the same batch of events.
        return;
    }
    const bool ethernet = state.EthernetConnecting || state.EthernetConnected;
    prompts.Message(ethernet ? kEthernetTimeoutText : kSerialTimeoutText);
    // Only once the user has closed the message.
    timeoutSeen = true;
    exchangeFailed = true;
}

void DeviceLink::Impl::DispatchUntil(const std::function<bool()>& done) {
    const auto previous = waitDone;
    waitDone = done;
    ++dispatchDepth;
    while (!done() && !timeoutSeen) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    --dispatchDepth;
    waitDone = previous;
}

void DeviceLink::Impl::DispatchPending() {
    ++dispatchDepth;
    QCoreApplication::processEvents();
    --dispatchDepth;
}

// --- transaction engine ---------------------------------------------------

// Only one exchange at a time: a command or query asked for by a handler that
// runs while an exchange dispatches events is dropped (a query fails), so
// that it cannot take the reply or the buffers of the exchange in progress.
void DeviceLink::SendCommand(const Command& command) {
    const bool serial = d_->state.SerialConnected;
    if (d_->InsideExchange() || !(serial || d_->state.EthernetConnected)) {
        return;
    }
    d_->commandBuffer = command.line;
    if (!serial) {
        if (command.kind == CommandKind::NoWait) {
            d_->TcpSendOnly();
        } else {
            d_->TcpSendCommand();
        }
        return;
    }
    // The switcher takes its time to answer a reset: the serial prompt wait
    // is stretched for this one exchange.
    if (command.kind == CommandKind::ResetWait) {
        d_->promptTimeout = d_->timings.resetTicks;
    }
    d_->SerialCommandExchange();
    if (command.kind == CommandKind::ResetWait) {
        d_->promptTimeout = d_->timings.commandTicks;
    }
}

void DeviceLink::SendCommands(const Commands& commands) {
    for (const Command& command : commands) {
        SendCommand(command);
    }
}

bool DeviceLink::QueryStatus(const std::string& line, int expectedLength) {
    if (d_->InsideExchange()) {
        return false;
    }
    d_->commandBuffer = line;
    d_->expectedLength = expectedLength;
    if (d_->state.EthernetConnected) {
        d_->TcpQueryStatus();
    } else {
        d_->SerialQueryStatus();
    }
    return !d_->exchangeFailed;
}

std::span<const std::uint8_t> DeviceLink::ReceiveBuffer() const {
    return d_->receiveBuffer;
}

bool DeviceLink::ExchangeFailed() const {
    return d_->exchangeFailed;
}

bool DeviceLink::AwaitPrompt(const std::string& line) {
    return !d_->InsideExchange() && d_->AwaitPrompt(line);
}

int DeviceLink::PromptTimeout() const {
    return d_->promptTimeout;
}

bool DeviceLink::ReplyPending() const {
    return d_->replyPending;
}

bool DeviceLink::InExchange() const {
    return d_->InsideExchange();
}

const LinkTimings& DeviceLink::Timings() const {
    return d_->timings;
}

// --- serial link ------------------------------------------------------------

DeviceLink::PortCheck DeviceLink::OpenAndCheckPort(int n) {
    return d_->InsideExchange() ? PortUnavailable : d_->OpenAndCheckPort(n);
}

int DeviceLink::SearchPorts(int n) {
    return d_->InsideExchange() ? -1 : d_->SearchPorts(n);
}

void DeviceLink::CloseSerialPort() {
    if (d_->port.isOpen()) {
        d_->ClosePort();
    }
}

int DeviceLink::CurrentPortNumber() const {
    return d_->portNumber;
}

void DeviceLink::SetBaudRate(int baud) {
    d_->baudRate = baud;
    if (d_->port.isOpen()) {
        d_->port.setBaudRate(baud);
    }
}

void DeviceLink::SetHardwareFlowControl() {
    d_->hardwareFlowControl = true;
}

void DeviceLink::SetSerialConnected(bool connected) {
    d_->state.SerialConnected = connected;
    d_->SetMonitoring(connected);
}

// --- TCP link ---------------------------------------------------------------

DeviceLink::TcpOutcome DeviceLink::TcpConnect(const QString& address) {
    return d_->InsideExchange() ? TcpOutcome::NotConnected : d_->TcpConnect(address);
}

bool DeviceLink::TcpActive() const {
    return d_->TcpIsActive();
}

void DeviceLink::TcpClose() {
    d_->TcpClose();
}

} // namespace qvc
