#pragma once

#include "conversation_engine.h"
#include "live_sessions.h"
#include "message_recorder.h"
#include "provider_client.h"
#include "usage_service.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWebSocketServer>

#include <optional>

class QTcpSocket;

namespace twk::server {

/// The realtime WebSocket endpoint. It never listens itself: the HTTP server
/// checks each upgrade request (credential, path) and hands over the socket,
/// whose handshake the WebSocket server then completes on the same port.
class RealtimeEndpoint : public QObject {
public:
    /// With a `provider`, sessions are relayed to it instead of answered by the engines.
    RealtimeEndpoint(ConversationEngineFactory& engines, MessageRecorder* recorder, UsageService& usage, LiveSessions& sessions,
                     const ProviderClient* provider = nullptr);

    /// Takes over an authorised upgrade request's socket; it counts as a live session of its credential until it is gone.
    void adopt(QTcpSocket* socket, const RealtimeGrant& grant);
    /// Server shutdown: every client gets a "going away" close.
    void closeAll();
    /// Sessions still open (answered here or relayed).
    int openSessions() const;

private:
    QWebSocketServer server_;
    ConversationEngineFactory& engines_;
    /// The TCP connection beneath a new WebSocket, found by its peer's address and port.
    struct Handshake {
        QPointer<QTcpSocket> socket;
        RealtimeGrant grant;
    };
    std::optional<Handshake> takeHandshake(const QWebSocket* socket);

    MessageRecorder* recorder_;
    const ProviderClient* provider_;
    UsageService& usage_;
    LiveSessions& sessions_;
    QList<Handshake> handshaking_;
    int connections_ = 0;
};

} // namespace twk::server
