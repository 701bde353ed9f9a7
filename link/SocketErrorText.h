// The message the link shows for a socket error event.
#pragma once

#include <QAbstractSocket>
#include <QString>

namespace qvc {

// What the TCP link is doing, so that a socket error is reported by its kind.
enum class TcpActivity { Idle, Connecting, Sending, Receiving, Closing };

// The message of a socket error event, by its kind and what the link was doing.
QString SocketErrorText(QAbstractSocket::SocketError error, TcpActivity activity);

} // namespace qvc
