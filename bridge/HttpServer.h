// The bridge's HTTP side: Qt's HTTP server, which parses requests and
// upgrades WebSockets, behind a listener that holds every connection to the
// limits of a service others can reach: at most 128 connections, a request
// head of at most 16 KiB, a body of at most 64 KiB (refused from its
// Content-Length, before it is read), 30 s to finish a request, idle
// keep-alive closed after 30 s, and HTTP/1.0 or "Connection: close" answered
// and then closed. A client that sends slowly or never reads costs only its
// own connection.
#pragma once

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

namespace qvc::bridge {

struct HttpLimits {
    int maxConnections = 128;
    qsizetype maxHead = 16 * 1024;
    qsizetype maxBody = 64 * 1024;
    int requestMs = 30000; // from a request's first byte to its last
    int idleMs = 30000;    // a kept-alive connection without a request
};

struct HttpRequest {
    QByteArray method;
    QString path;
    QString query;
    QByteArray body;
    QByteArray authorization;
    QHostAddress peer;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QByteArray headers; // more header lines, each ending in CR LF
};

class HttpServer : public QAbstractHttpServer {
    Q_OBJECT
  public:
    using Handler = std::function<void(const HttpRequest&, QPointer<QTcpSocket>)>;
    HttpServer(HttpLimits limits, Handler handler, QObject* parent = nullptr);

    // Listens on `address`:`port` (0: any free port); the port, or 0.
    quint16 Listen(const QHostAddress& address, quint16 port);
    int Connections() const;

    // Answers the oldest unanswered request of `socket`, if it is still
    // there; closes the connection after it where the request asked.
    static void Respond(const QPointer<QTcpSocket>& socket, const HttpResponse& response);
    static QByteArray StatusText(int status);

  signals:
    // A connection was refused or cut by a limit; `reason` says which.
    void limitHit(const QString& reason, const QHostAddress& peer);

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

  private:
    class Listener;
    HttpLimits limits_;
    Handler handler_;
    Listener* listener_ = nullptr;
};

} // namespace qvc::bridge
