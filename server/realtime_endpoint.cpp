#include "realtime_endpoint.h"

#include "realtime_connection.h"
#include "realtime_relay.h"

#include <QTcpSocket>
#include <QWebSocket>

namespace twk::server {

RealtimeEndpoint::RealtimeEndpoint(ConversationEngineFactory& engines, MessageRecorder* recorder, UsageService& usage,
                                   LiveSessions& sessions, const ProviderClient* provider)
    : server_(QStringLiteral("tarnwick-server"), QWebSocketServer::NonSecureMode), engines_(engines), recorder_(recorder),
      provider_(provider), usage_(usage), sessions_(sessions)
{
    connect(&server_, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket* socket = server_.nextPendingConnection()) {
            const auto handshake = takeHandshake(socket);
            if (!handshake) { // cannot happen: every handshake starts in adopt()
                socket->abort();
                socket->deleteLater();
                continue;
            }
            if (provider_ != nullptr) {
                auto* relay = new RealtimeRelay(socket, handshake->socket, ++connections_, *provider_, handshake->grant.secret, this);
                relay->meterWith(usage_, handshake->grant.userId);
                continue;
            }
            auto* connection = new RealtimeConnection(socket, handshake->socket, ++connections_, engines_, recorder_, this);
            connection->meterWith(usage_, handshake->grant.userId);
        }
    });
}

void RealtimeEndpoint::adopt(QTcpSocket* socket, const RealtimeGrant& grant)
{
    handshaking_.removeIf([](const Handshake& h) { return h.socket.isNull(); });
    handshaking_.append({socket, grant});
    sessions_.opened(grant.secret);
    connect(socket, &QObject::destroyed, this, [this, secret = grant.secret] { sessions_.closed(secret); });
    server_.handleConnection(socket);
}

std::optional<RealtimeEndpoint::Handshake> RealtimeEndpoint::takeHandshake(const QWebSocket* socket)
{
    for (qsizetype i = 0; i < handshaking_.size(); ++i) {
        const QTcpSocket* tcp = handshaking_[i].socket;
        if (tcp && tcp->peerPort() == socket->peerPort() && tcp->peerAddress() == socket->peerAddress())
            return handshaking_.takeAt(i);
    }
    return std::nullopt;
}

void RealtimeEndpoint::closeAll()
{
    // dynamic_cast, not findChildren: these classes carry no meta-object of their own.
    for (QObject* child : children()) {
        if (auto* c = dynamic_cast<RealtimeConnection*>(child)) c->close(1001, "server shutting down");
        if (auto* r = dynamic_cast<RealtimeRelay*>(child)) r->close(1001, "server shutting down");
    }
}

int RealtimeEndpoint::openSessions() const
{
    int open = 0;
    for (QObject* child : children())
        open += dynamic_cast<RealtimeConnection*>(child) != nullptr || dynamic_cast<RealtimeRelay*>(child) != nullptr ? 1 : 0;
    return open;
}

} // namespace twk::server
