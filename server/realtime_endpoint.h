#pragma once

#include "conversation_engine.h"
#include "message_recorder.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWebSocketServer>

class QTcpSocket;

namespace twk::server {

/// The realtime WebSocket endpoint. It never listens itself: the HTTP server
/// checks each upgrade request (credential, path) and hands over the socket,
/// whose handshake the WebSocket server then completes on the same port.
class RealtimeEndpoint : public QObject {
public:
    RealtimeEndpoint(ConversationEngineFactory& engines, MessageRecorder* recorder);

    void adopt(QTcpSocket* socket);
    /// Server shutdown: every client gets a "going away" close.
    void closeAll();

private:
    QWebSocketServer server_;
    ConversationEngineFactory& engines_;
    /// The TCP connection beneath a new WebSocket, found by its peer's address and port.
    QTcpSocket* transportOf(const QWebSocket* socket);

    MessageRecorder* recorder_;
    QList<QPointer<QTcpSocket>> handshaking_;
    int connections_ = 0;
};

} // namespace twk::server
