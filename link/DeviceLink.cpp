// The transaction engine: the link's parts, the link choice and the one
// entry point for write commands. The parts: LinkExchange (the buffers, the
// reply timer and the dispatching waits), SerialChannel, TcpChannel and
// LineMonitor (the line lamps and the terminal copy).
#include "DeviceLink.h"

#include "LineMonitor.h"
#include "LinkContext.h"
#include "LinkExchange.h"
#include "SerialChannel.h"
#include "TcpChannel.h"
#include "protocol/Commands.h"

#include <QSerialPort>
#include <QTcpSocket>
#include <algorithm>

namespace qvc {

struct DeviceLink::Impl {
    Impl(DeviceLink& owner, LinkState& linkState, LinkHost& host, Prompts& prompts,
         SerialPortMap ports, LinkTimings linkTimings, quint16 tcpPort)
        : state(linkState), timings(linkTimings), context{owner, state, host, prompts, timings},
          exchange(context), monitor(context, port),
          serial(context, exchange, port, monitor, std::move(ports)),
          tcp(context, exchange, tcpPort) {}

    LinkState& state;
    const LinkTimings timings;
    const LinkContext context;
    LinkExchange exchange;
    // The one serial port: the channel moves the data, the monitor reads
    // the control lines.
    QSerialPort port;
    LineMonitor monitor;
    SerialChannel serial;
    TcpChannel tcp;
    // The peer or the device went away; cleared by the next connect or search.
    bool lost = false;
};

DeviceLink::DeviceLink(LinkState& state, LinkHost& host, Prompts& prompts, SerialPortMap ports,
                       LinkTimings timings, quint16 tcpPort, QObject* parent)
    : QObject(parent),
      d_(std::make_unique<Impl>(*this, state, host, prompts, std::move(ports), timings, tcpPort)) {
    connect(&d_->tcp.Socket(), &QTcpSocket::disconnected, this, &DeviceLink::tcpClosed);
    connect(&d_->tcp.Socket(), &QTcpSocket::connected, this, &DeviceLink::ReportLink);
    connect(&d_->tcp.Socket(), &QTcpSocket::disconnected, this, [this] {
        if (!d_->tcp.Closing()) {
            d_->lost = true;
        }
        ReportLink();
    });
    d_->serial.OnDeviceLost([this] {
        if (d_->state.SerialConnected && !d_->lost) {
            d_->lost = true;
            ReportLink();
        }
    });
}

// The parts go in the reverse order of their making; each first cuts its
// events off from the link, so that nothing calls back into a half-destroyed
// link.
DeviceLink::~DeviceLink() = default;

// --- transaction engine ---------------------------------------------------

// Only one exchange at a time: a command or query asked for by a handler that
// runs while an exchange dispatches events is dropped (a query fails), so
// that it cannot take the reply or the buffers of the exchange in progress.
void DeviceLink::SendCommand(const Command& command) {
    const bool serial = d_->state.SerialConnected;
    if (d_->exchange.Inside() || !(serial || d_->state.EthernetConnected)) {
        return;
    }
    d_->exchange.SetCommandLine(command.line);
    if (!serial) {
        if (command.kind == CommandKind::NoWait) {
            d_->tcp.SendOnly();
        } else {
            d_->tcp.SendCommand();
        }
        return;
    }
    // The switcher takes its time to answer a reset: the serial prompt wait
    // is stretched for this one exchange.
    if (command.kind == CommandKind::ResetWait) {
        d_->exchange.SetPromptTimeout(d_->timings.resetTicks);
    }
    d_->serial.CommandExchange();
    if (command.kind == CommandKind::ResetWait) {
        d_->exchange.SetPromptTimeout(d_->timings.commandTicks);
    }
}

void DeviceLink::SendCommands(const Commands& commands) {
    for (const Command& command : commands) {
        SendCommand(command);
    }
}

bool DeviceLink::QueryStatus(const std::string& line, int expectedLength) {
    if (d_->exchange.Inside()) {
        return false;
    }
    d_->exchange.SetCommandLine(line);
    d_->exchange.SetExpectedLength(expectedLength);
    if (d_->state.EthernetConnected) {
        d_->tcp.QueryStatus();
    } else {
        d_->serial.QueryStatus();
    }
    return !d_->exchange.Failed();
}

QByteArray DeviceLink::Forward(const std::string& line, int expectedLength, bool reset) {
    const bool serial = d_->state.SerialConnected;
    const bool tcp = d_->state.EthernetConnected;
    if (d_->exchange.Inside() || !(serial || tcp)) {
        return {};
    }
    d_->exchange.SetCommandLine(line);
    d_->exchange.SetExpectedLength(std::max(expectedLength, 0));
    const bool query = expectedLength >= 0;
    if (tcp && (query || !serial)) {
        return d_->tcp.Forward(expectedLength);
    }
    const int ticks = reset ? d_->timings.resetTicks : d_->exchange.PromptTimeout();
    const int waitMs = query ? d_->timings.replyTimerMs : ticks * d_->timings.tickMs;
    return d_->serial.Forward(expectedLength, waitMs);
}

std::span<const std::uint8_t> DeviceLink::ReceiveBuffer() const {
    return d_->exchange.ReceiveBuffer();
}

bool DeviceLink::ExchangeFailed() const {
    return d_->exchange.Failed();
}

bool DeviceLink::AwaitPrompt(const std::string& line) {
    return !d_->exchange.Inside() && d_->serial.AwaitPrompt(line);
}

int DeviceLink::PromptTimeout() const {
    return d_->exchange.PromptTimeout();
}

bool DeviceLink::ReplyPending() const {
    return d_->exchange.ReplyPending();
}

bool DeviceLink::InExchange() const {
    return d_->exchange.Inside();
}

const LinkTimings& DeviceLink::Timings() const {
    return d_->timings;
}

// --- serial link ------------------------------------------------------------

DeviceLink::PortCheck DeviceLink::OpenAndCheckPort(int n) {
    return d_->exchange.Inside() ? PortUnavailable : d_->serial.OpenAndCheckPort(n);
}

int DeviceLink::SearchPorts(int n) {
    if (d_->exchange.Inside()) {
        return -1;
    }
    const int found = d_->serial.SearchPorts(n);
    d_->lost = false;
    ReportLink();
    return found;
}

void DeviceLink::CloseSerialPort() {
    d_->serial.Close();
    ReportLink();
}

int DeviceLink::CurrentPortNumber() const {
    return d_->serial.PortNumber();
}

void DeviceLink::SetBaudRate(int baud) {
    d_->serial.SetBaudRate(baud);
}

void DeviceLink::SetHardwareFlowControl() {
    d_->serial.SetHardwareFlowControl();
}

void DeviceLink::SetSerialConnected(bool connected) {
    d_->state.SerialConnected = connected;
    d_->monitor.SetMonitoring(connected);
    ReportLink();
}

// --- TCP link ---------------------------------------------------------------

DeviceLink::TcpOutcome DeviceLink::TcpConnect(const QString& address) {
    if (d_->exchange.Inside()) {
        return TcpOutcome::NotConnected;
    }
    const TcpOutcome outcome = d_->tcp.Connect(address);
    d_->lost = false;
    ReportLink();
    return outcome;
}

bool DeviceLink::TcpActive() const {
    return d_->tcp.Active();
}

void DeviceLink::TcpClose() {
    d_->tcp.Close();
    ReportLink();
}

// --- what the window shows of the link ----------------------------------------

QString DeviceLink::LinkText() const {
    if (d_->lost) {
        return QStringLiteral("Link lost");
    }
    if (d_->state.SerialConnected) {
        return d_->serial.LinkName();
    }
    if (d_->state.EthernetConnected) {
        return d_->tcp.LinkName();
    }
    return QStringLiteral("No link");
}

bool DeviceLink::LinkLost() const {
    return d_->lost;
}

void DeviceLink::ReportLink() {
    d_->context.host.SetLinkText(LinkText(), d_->lost);
}

void DeviceLink::SetWireLogging(bool on) {
    d_->exchange.SetWireLogging(on);
}

bool DeviceLink::WireLogging() const {
    return d_->exchange.WireLogging();
}

} // namespace qvc
