// The TCP channel: connect and probe, the command and status exchanges on
// the exchange's buffers, and the socket events with their messages.
#pragma once

#include "DeviceLink.h"
#include "LinkExchange.h"
#include "SocketErrorText.h"

#include <QByteArray>
#include <QString>
#include <QTcpSocket>
#include <string>

namespace qvc {

class TcpChannel {
  public:
    // Connects to `tcpPort` of the address it is given; works on `exchange`.
    TcpChannel(const LinkContext& context, LinkExchange& exchange, quint16 tcpPort);
    ~TcpChannel();
    TcpChannel(const TcpChannel&) = delete;
    TcpChannel& operator=(const TcpChannel&) = delete;

    bool Active() const;
    const QTcpSocket& Socket() const { return socket_; }
    // "Ethernet a.b.c.d" of the last connection made.
    const QString& LinkName() const { return linkName_; }
    // The program itself is closing the connection.
    bool Closing() const { return activity_ == TcpActivity::Closing; }
    // The exchange's command line, acknowledged by any answer.
    void SendCommand();
    // The exchange's command line without a wait.
    void SendOnly();
    // The exchange's status query; a complete reply lands in its receive buffer.
    void QueryStatus();
    // The exchange's command line for another controller: its answer, byte
    // for byte (the prompt, or with an expected length of 0 or more the
    // framed reply up to its end), or empty when none came in time.
    QByteArray Forward(int expectedLength);
    DeviceLink::TcpOutcome Connect(const QString& address);
    void Close();

  private:
    void SocketError(QAbstractSocket::SocketError error);
    void Write(const std::string& line);
    QByteArray Read(qint64 maxCount, int waitMs = -1);
    void DiscardInput();
    bool Probe(const std::string& line);
    // How an exchange without a (complete) answer ended, for the wire log.
    WireOutcome Unanswered() const;

    LinkContext ctx_;
    LinkExchange& exchange_;
    quint16 tcpPort_;
    QTcpSocket socket_;
    TcpActivity activity_ = TcpActivity::Idle;
    QString linkName_;
};

} // namespace qvc
