// DeviceLink: everything that moves bytes between the program and the
// switcher. One exchange at a time, all on the GUI thread.
//
// (Public interface agreed with the window; internals are the link's own.)
#pragma once

#include "LinkHost.h"
#include "LinkState.h"
#include "LinkTimings.h"
#include "Prompts.h"
#include "SerialPortMap.h"
#include "protocol/Commands.h"

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace qvc {

class DeviceLink : public QObject {
    Q_OBJECT
  public:
    DeviceLink(LinkState& state, LinkHost& host, Prompts& prompts, SerialPortMap ports,
               LinkTimings timings = LinkTimings::Production(), quint16 tcpPort = 23,
               QObject* parent = nullptr);
    ~DeviceLink() override;

    // --- transaction engine -------------------------------------------
    // The one way to the switcher for write commands. Serial first, else TCP;
    // with neither link up the command is dropped silently. An acknowledged
    // command waits for the prompt; a NoWait command (IPCONFIG) is written
    // without a wait on TCP; a ResetWait command stretches the serial prompt
    // wait for its one exchange.
    void SendCommand(const Command& command);
    // Each command in order.
    void SendCommands(const Commands& commands);
    // One status query; TCP first, else serial. Returns true unless the
    // exchange failed; the reply is then in ReceiveBuffer() from index 0.
    bool QueryStatus(const std::string& line, int expectedLength);
    std::span<const std::uint8_t> ReceiveBuffer() const;
    bool ExchangeFailed() const;
    // Another controller's line, sent as it is (without its CR), and the
    // switcher's answer byte for byte: for a command everything up to and
    // including the prompt, for a status query (`expectedLength` of 0 or
    // more, its payload length) the framed reply up to and including the '#'
    // that ends it. Commands go serial first, queries TCP first, as above.
    // The waits are the link's own: a command's prompt wait (the reset wait
    // for `reset` on the serial link), the TCP read time, the reply timer
    // for a query. Empty when nothing whole came in time, no link is up or
    // an exchange is in progress; nothing is shown, resent or recovered: the
    // controller that sent the line finds out by its own wait.
    static constexpr int kCommandAnswer = -1;
    QByteArray Forward(const std::string& line, int expectedLength, bool reset = false);
    // Serial write-and-acknowledge step (also the port probe).
    bool AwaitPrompt(const std::string& line);
    // Length of the serial prompt wait, in ticks (80; 10 while probing and
    // after a cancelled recovery until the next search or re-open).
    int PromptTimeout() const;
    // A serial status reply is being collected.
    bool ReplyPending() const;
    // An exchange is in progress (its wait is dispatching events): anything
    // that would start another one is refused until it ends.
    bool InExchange() const;
    // The waits this link was built with.
    const LinkTimings& Timings() const;

    // --- serial link ----------------------------------------------------
    // What a port check found: 0 when the switcher answered, a negative code
    // otherwise. A plain enum, so that a caller can keep it in an int and
    // compare it with 0.
    enum PortCheck : int {
        PortAnswered = 0,     // open, and the switcher answered a probe
        PortUnavailable = -1, // none was open and this one is absent or held (passed
                              // over without a message), or an exchange is in progress
        PortOpenFailed = -2,  // the open failed ("is not responding/being used by ...")
        PortFaulted = -3,     // the port failed during the probe ("is not responding.")
        PortSilent = -4,      // open, but the switcher answered neither probe
    };
    PortCheck OpenAndCheckPort(int n);
    int SearchPorts(int n); // 1 found, -1 not found; n = 0 tries COM1..COM4
    void CloseSerialPort();
    int CurrentPortNumber() const; // 0 until a port was selected
    void SetBaudRate(int baud);    // applies at once when open, else at the next open
    void SetHardwareFlowControl(); // RTS/CTS, used at the next open
    // Setting SerialConnected through here also switches the lamp monitor.
    void SetSerialConnected(bool connected);

    // --- TCP link -------------------------------------------------------
    enum class TcpOutcome { Probed, Silent, NotConnected };
    // Connects to a dotted address (already normalised) and probes with a bare CR.
    TcpOutcome TcpConnect(const QString& address);
    bool TcpActive() const;
    // Closes the connection and dispatches events until it is no longer active.
    void TcpClose();

    // --- what the window shows of the link -------------------------------
    // "RS-232 COMn" or "Ethernet a.b.c.d" while a link is up (serial first,
    // as commands go), "No link" otherwise; "Link lost" after the switcher
    // closed the TCP connection or the serial device went away (a resource
    // or read error of the port while connected), until the
    // next TCP connect or port search. The host hears of every change
    // (LinkHost::SetLinkText); ReportLink tells it again, for a caller that
    // changed the link flags itself.
    QString LinkText() const;
    bool LinkLost() const;
    void ReportLink();
    // The wire log: while on, the host gets a record of every exchange
    // (LinkHost::ExchangeLogged); while off, none is built.
    void SetWireLogging(bool on);
    bool WireLogging() const;

  signals:
    // The TCP connection closed: by the switcher, the network or TcpClose.
    void tcpClosed();

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace qvc
