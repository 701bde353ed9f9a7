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

#include <QObject>
#include <cstdint>
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
    // One write command (no CR); waits for the acknowledgement. Serial first,
    // else TCP, else dropped silently.
    void SendCommand(const std::string& line);
    // Used for IPCONFIG: like SendCommand on serial, written without a wait on TCP.
    void SendCommandNoWait(const std::string& line);
    // One status query; TCP first, else serial. Returns true unless the
    // exchange failed; the reply is then in ReceiveBuffer() from index 0.
    bool QueryStatus(const std::string& line, int expectedLength);
    std::span<const std::uint8_t> ReceiveBuffer() const;
    bool ExchangeFailed() const;
    // Serial write-and-acknowledge step (also the port probe).
    bool AwaitPrompt(const std::string& line);
    // Length of the serial prompt wait, in ticks (80; 10 while probing and
    // after a cancelled recovery until the next search or re-open).
    int PromptTimeout() const;
    // A serial status reply is being collected.
    bool ReplyPending() const;
    // The waits this link was built with.
    const LinkTimings& Timings() const;

    // --- serial link ----------------------------------------------------
    int OpenAndCheckPort(int n); // 0, -1, -2, -3, -4
    int SearchPorts(int n);      // 1 found, -1 not found; n = 0 tries COM1..COM4
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

    // --- senders (each drops silently when no link is up) --------------
    void SendIpConfig(int a, int b, int c, int d);
    void SendRtemp(int output, int video, int audio);
    void SendTake(bool commit);
    void SendOmute(int output, int muted);
    void SendAlvl(int input, int level);
    void SendFplock(bool locked);
    void SendReset(bool factory); // 810 ticks on serial, then back to 80
    void SendSwitch(int source);
    void SendFdly(int delay);
    void SendClear();
    void SendRprst(int preset, int flag);
    void SendPrst(int preset);
    void SendGclear(int group);
    void SendGadd(int group, int output, int input);
    void SendGdel(int group, int output, int input);

  private:
    struct Impl;
    Impl* d_;
};

} // namespace qvc
