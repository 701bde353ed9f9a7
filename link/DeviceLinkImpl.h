// Internals of DeviceLink, shared by its source files (not installed, not
// included by anything outside link/).
#pragma once

#include "DeviceLink.h"
#include "SocketErrorText.h"
#include "protocol/Framing.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace qvc {

struct DeviceLink::Impl {
    Impl(DeviceLink& owner, LinkState& linkState, LinkHost& linkHost, Prompts& linkPrompts,
         SerialPortMap portMap, LinkTimings linkTimings, quint16 tcpPortNumber);

    DeviceLink& q;
    LinkState& state;
    LinkHost& host;
    Prompts& prompts;
    SerialPortMap ports;
    LinkTimings timings;
    quint16 tcpPort;

    // --- exchange state (one exchange at a time) ------------------------
    std::string commandBuffer;
    std::array<std::uint8_t, kReceiveBufferSize> receiveBuffer{};
    std::size_t receivePosition = 0;
    int expectedLength = 0;
    bool replyPending = false;
    bool exchangeFailed = false;
    bool timeoutSeen = false;
    int promptTimeout = 0; // in ticks
    QTimer timer1;
    // The condition the running dispatching wait waits for; Timer1 stays
    // silent when it is already met.
    std::function<bool()> waitDone;

    void StartTimer1();
    void StopTimer1();
    void Timer1Timer();
    // Dispatches events until `done` holds or Timer1 has expired (TimeoutSeen).
    void DispatchUntil(const std::function<bool()>& done);
    // Runs pending events once, as part of an exchange.
    void DispatchPending();
    // Events dispatched by an exchange are running: a handler among them
    // must not start a second exchange on the one set of buffers.
    int dispatchDepth = 0;
    bool InsideExchange() const { return dispatchDepth > 0; }

    // --- serial link ------------------------------------------------------
    QSerialPort port;
    int portNumber = 0;
    qint32 baudRate = 57600;
    bool hardwareFlowControl = true;
    QByteArray inbox; // received and copied to the terminal, not yet consumed
    bool portErrorSeen = false;
    bool ignorePortErrors = false;
    int portEventsQueued = 0;
    int portEventsDelivered = 0;
    // A port search has disabled MainPageControl and enables it at its end.
    bool pagesHeldBySearch = false;

    bool PortAvailable(const QString& path) const;
    bool OpenPort(const QString& path);
    void ClosePort();
    void QueuePortEvent(bool open);
    void PortEvent(bool open);
    void WaitForPortEvent();

    void PullSerial();
    void FlushInput();
    void SerialReadyRead();
    void CollectReply();
    void WriteLine(const std::string& line);
    bool AwaitPrompt(const std::string& line);
    bool WaitForPrompt();
    void SerialCommandExchange();
    void RecoverPort();
    void SerialQueryStatus();
    PortCheck OpenAndCheckPort(int n);
    int SearchPorts(int n);
    void PortError(QSerialPort::SerialPortError error);

    // Line lamps.
    QTimer lampTimer;
    LineLamps lamps;
    bool lampsShown = false;
    bool linesUnsupported = false;
    QElapsedTimer txdSince;
    QElapsedTimer rxdSince;
    void FlashTxd();
    void FlashRxd();
    void PollLamps();
    void PushLamps(const LineLamps& now);
    void SetMonitoring(bool on);

    // --- TCP link ---------------------------------------------------------
    QTcpSocket socket;
    TcpActivity tcpActivity = TcpActivity::Idle;

    bool TcpIsActive() const;
    void SocketError(QAbstractSocket::SocketError error);
    void TcpWrite(const std::string& line);
    QByteArray TcpRead(qint64 maxCount, int waitMs = -1);
    void DiscardTcpInput();
    bool TcpProbe(const std::string& line);
    void TcpSendCommand();
    void TcpSendOnly();
    void TcpQueryStatus();
    TcpOutcome TcpConnect(const QString& address);
    void TcpClose();
};

// RAII for the busy pointer: shows it unless it is already shown and puts
// the arrow back at the end only if it was changed here.
class HourglassScope {
  public:
    explicit HourglassScope(LinkHost& host) : host_(host), changed_(!host.HourglassShown()) {
        if (changed_) {
            host_.SetHourglass(true);
        }
    }
    ~HourglassScope() {
        if (changed_) {
            host_.SetHourglass(false);
        }
    }
    HourglassScope(const HourglassScope&) = delete;
    HourglassScope& operator=(const HourglassScope&) = delete;

  private:
    LinkHost& host_;
    bool changed_;
};

} // namespace qvc
