#include "realtime_endpoint.h"

#include "realtime_connection.h"

#include <QTcpSocket>
#include <QWebSocket>

namespace twk::server {

RealtimeEndpoint::RealtimeEndpoint(ConversationEngineFactory& engines, MessageRecorder* recorder)
    : server_(QStringLiteral("tarnwick-server"), QWebSocketServer::NonSecureMode), engines_(engines), recorder_(recorder)
{
    connect(&server_, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket* socket = server_.nextPendingConnection())
            new RealtimeConnection(socket, transportOf(socket), ++connections_, engines_, recorder_, this);
    });
}

void RealtimeEndpoint::adopt(QTcpSocket* socket)
{
    handshaking_.removeAll(nullptr);
    handshaking_.append(socket);
    server_.handleConnection(socket);
}

QTcpSocket* RealtimeEndpoint::transportOf(const QWebSocket* socket)
{
    for (qsizetype i = 0; i < handshaking_.size(); ++i) {
        QTcpSocket* tcp = handshaking_[i];
        if (tcp && tcp->peerPort() == socket->peerPort() && tcp->peerAddress() == socket->peerAddress()) {
            handshaking_.removeAt(i);
            return tcp;
        }
    }
    return nullptr;
}

void RealtimeEndpoint::closeAll()
{
    for (RealtimeConnection* c : findChildren<RealtimeConnection*>(Qt::FindDirectChildrenOnly))
        c->close(1001, "server shutting down");
}

} // namespace twk::server
