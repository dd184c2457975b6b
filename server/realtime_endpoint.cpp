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
            new RealtimeConnection(socket, ++connections_, engines_, recorder_, this);
    });
}

void RealtimeEndpoint::adopt(QTcpSocket* socket) { server_.handleConnection(socket); }

void RealtimeEndpoint::closeAll()
{
    for (RealtimeConnection* c : findChildren<RealtimeConnection*>(Qt::FindDirectChildrenOnly))
        c->close(1001, "server shutting down");
}

} // namespace twk::server
