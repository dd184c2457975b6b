#include "http_server.h"

#include "common/log.h"

#include <QTcpSocket>
#include <QTimer>

namespace twk::server {

HttpServer::HttpServer(RequestRouter& router, HttpConnection::Upgrade upgrade, HttpLimits limits, ConnectionLimits::Caps caps)
    : router_(router), upgrade_(std::move(upgrade)), limits_(limits), connections_(caps)
{
    connect(&server_, &QTcpServer::newConnection, this, &HttpServer::acceptPending);
    connect(&server_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        logLine("[twk/server] cannot accept connections: " + server_.errorString().toStdString() + "; pausing");
        server_.pauseAccepting();
        QTimer::singleShot(acceptPauseMs, this, [this] { server_.resumeAccepting(); });
    });
}

void HttpServer::acceptPending()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        const QString peer = socket->peerAddress().toString();
        const long evictedBefore = connections_.evicted();
        const bool admitted = connections_.admit(peer);
        if (connections_.evicted() != evictedBefore && evictedBefore % 1000 == 0)
            logLine("[twk/server] too many connections (" + std::to_string(connections_.open()) +
                    " open): closing the oldest idle ones, " + std::to_string(connections_.evicted()) + " so far");
        if (!admitted) {
            // Logged now and then: a flood must not become a flood of log lines.
            if (refused_++ % 1000 == 0)
                logLine("[twk/server] too many connections (" + std::to_string(connections_.open()) + " open); refused " +
                        std::to_string(refused_) + " so far, the latest from " + peer.toStdString());
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* connection = new HttpConnection(socket, router_, upgrade_, limits_, this);
        connections_.opened(peer, socket, connection);
        connect(socket, &QObject::destroyed, this, [this, socket] { connections_.closed(socket); });
        connect(connection, &QObject::destroyed, this, [this, connection] { connections_.released(connection); });
    }
}

bool HttpServer::listen(const QHostAddress& address, quint16 port)
{
    // Qt's default queue of 50 overflows under a burst of connections, and a
    // dropped handshake costs its client a one-second retransmission.
    server_.setListenBacklogSize(1024);
    return server_.listen(address, port);
}

void HttpServer::close()
{
    server_.close();
    for (HttpConnection* c : findChildren<HttpConnection*>(Qt::FindDirectChildrenOnly)) c->abort();
}

} // namespace twk::server
