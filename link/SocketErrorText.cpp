#include "SocketErrorText.h"

namespace qvc {

namespace {

constexpr const char* kGeneralErrorText = "Socket General Error";
constexpr const char* kSendErrorText = "Socket Send Error";
constexpr const char* kReceiveErrorText = "Socket Receive Error";
constexpr const char* kConnectErrorText = "Socket Connection Error: Check Ethernet cable";
constexpr const char* kDisconnectErrorText = "Socket Disconnect Error";

} // namespace

QString SocketErrorText(QAbstractSocket::SocketError error, TcpActivity activity) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::NetworkError:
        return kConnectErrorText;
    default:
        break;
    }
    switch (activity) {
    case TcpActivity::Connecting:
        return kConnectErrorText;
    case TcpActivity::Sending:
        return kSendErrorText;
    case TcpActivity::Receiving:
        return kReceiveErrorText;
    case TcpActivity::Closing:
        return kDisconnectErrorText;
    case TcpActivity::Idle:
        break;
    }
    return kGeneralErrorText;
}

} // namespace qvc
