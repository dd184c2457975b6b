#pragma once

#include "conversation_engine.h"
#include "message_recorder.h"

#include <QObject>
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
    MessageRecorder* recorder_;
    int connections_ = 0;
};

} // namespace twk::server
