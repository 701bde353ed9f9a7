// The serial channel: the port and its fixed line settings, the prompt wait,
// the status reply on the exchange's buffers, the port probe and search, and
// the recovery dialog.
#pragma once

#include "DeviceLink.h"
#include "LineMonitor.h"
#include "LinkExchange.h"
#include "SerialPortMap.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <string>

namespace qvc {

class SerialChannel {
  public:
    // Drives `port`, which the lamp monitor watches too; works on `exchange`.
    SerialChannel(const LinkContext& context, LinkExchange& exchange, QSerialPort& port,
                  LineMonitor& monitor, SerialPortMap ports);
    ~SerialChannel();
    SerialChannel(const SerialChannel&) = delete;
    SerialChannel& operator=(const SerialChannel&) = delete;

    // Writes `line` and waits for the prompt (true at once with no port open).
    bool AwaitPrompt(const std::string& line);
    // The exchange's command line, acknowledged; with recovery when the
    // switcher stays silent.
    void CommandExchange();
    // The exchange's status query; the reply lands in its receive buffer.
    void QueryStatus();
    // The exchange's command line for another controller: its answer, byte
    // for byte, within `waitMs`, or empty (see TcpChannel::Forward). Blocks
    // without dispatching events, as the prompt wait does.
    QByteArray Forward(int expectedLength, int waitMs);
    DeviceLink::PortCheck OpenAndCheckPort(int n);
    int SearchPorts(int n);
    void Close();

    int PortNumber() const { return portNumber_; }
    // "RS-232 COMn" of the port last opened.
    const QString& LinkName() const { return linkName_; }
    // Called when the open port's device goes away (unplugged, or the far
    // end of a pseudo-terminal closed): a resource or read error of the port.
    void OnDeviceLost(std::function<void()> lost) { deviceLost_ = std::move(lost); }
    void SetBaudRate(int baud);
    void SetHardwareFlowControl() { hardwareFlowControl_ = true; }

  private:
    bool PortAvailable(const QString& path) const;
    bool OpenPort(const QString& path);
    void ClosePort();
    void QueuePortEvent(bool open);
    void PortEvent(bool open);
    void WaitForPortEvent();
    void PortError(QSerialPort::SerialPortError error);

    void PullSerial();
    void FlushInput();
    void ReadyRead();
    void WriteLine(const std::string& line);
    bool WaitForPrompt();
    // How an exchange that got no answer ended, for the wire log.
    WireOutcome Unanswered(bool errorBefore) const;
    void RecoverPort();

    LinkContext ctx_;
    LinkExchange& exchange_;
    QSerialPort& port_;
    LineMonitor& monitor_;
    SerialPortMap ports_;
    int portNumber_ = 0;
    QString linkName_;
    std::function<void()> deviceLost_;
    qint32 baudRate_ = 57600;
    bool hardwareFlowControl_ = true;
    QByteArray inbox_; // received and copied to the terminal, not yet consumed
    bool portErrorSeen_ = false;
    int portEventsQueued_ = 0;
    int portEventsDelivered_ = 0;
    // A port search has disabled MainPageControl and enables it at its end.
    bool pagesHeldBySearch_ = false;
};

} // namespace qvc
