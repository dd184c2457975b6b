#pragma once

#include "conversation_engine.h"
#include "message_recorder.h"
#include "session_config.h"
#include "usage_service.h"
#include "voice_activity_detector.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class QTcpSocket;
class QWebSocket;

namespace twk::server {

/// One realtime WebSocket client: the protocol side (session updates, audio
/// appends decoded and run through voice-activity detection, malformed
/// messages answered with error events, everything recorded) and, behind
/// it, the engine that decides the replies.
class RealtimeConnection : public QObject, public RealtimeOutput {
public:
    /// `transport` is the TCP connection beneath `socket`, when known.
    RealtimeConnection(QWebSocket* socket, QTcpSocket* transport, int number, ConversationEngineFactory& engines, MessageRecorder* recorder,
                       QObject* parent);
    ~RealtimeConnection() override;

    /// Meters the session's connected time against `userId`'s quota and ends
    /// it (an error event, then a close) once the quota is used up.
    void meterWith(UsageService& usage, const std::string& userId);

    void send(const nlohmann::json& event) override;
    void drop() override;
    void close(int code, const std::string& reason) override;
    bool isOpen() const override { return open_; }

    /// Largest message accepted from a client (a screenshot travels in one).
    static constexpr qint64 maxMessageBytes = 32 * 1024 * 1024;
    /// Events not yet taken by a client that does not read: over the first
    /// bound for stallMs, or over the second at all, and it is disconnected.
    static constexpr qint64 maxPendingOutput = 1024 * 1024;
    static constexpr qint64 hardPendingOutput = 8 * 1024 * 1024;
    static constexpr int stallMs = 5'000;

private:
    void receive(const QByteArray& utf8);
    void handle(const QByteArray& utf8);
    void handleAudio(const nlohmann::json& message);
    void sendError(const std::string& code, const std::string& message, const nlohmann::json& clientMessage);
    nlohmann::json serverEvent(const char* type);
    void log(const std::string& text) const;
    void checkBackpressure();

    QWebSocket* socket_;
    QPointer<QTcpSocket> transport_; // beneath the WebSocket: how much is still unsent
    QTimer stallTimer_;
    int number_;
    MessageRecorder* recorder_;
    bool open_ = true;
    SessionConfig session_;
    VoiceActivityDetector vad_;
    std::vector<std::uint8_t> decodedAudio_; // reused: appends come fifty times a second
    int events_ = 0;
    int items_ = 0;
    std::string speechItemId_;
    std::unique_ptr<ConversationEngine> engine_; // last: goes first, while the socket still exists
};

} // namespace twk::server
