#pragma once

#include "provider_client.h"
#include "read_gate.h"
#include "usage_service.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>

#include <string>
#include <vector>

class QTcpSocket;

namespace twk::server {

/// One realtime client's session carried to the hosted service: its frames
/// go to the provider's realtime socket and back unchanged (text as text,
/// binary as binary), and a close on either side closes the other with the
/// same code and reason. When one side does not take what it is sent, the
/// other side is no longer read, so memory stays bounded; a side that stays
/// behind for stallMs is dropped.
class RealtimeRelay : public QObject {
public:
    /// `secret` opens the provider's socket: it is the client's own credential.
    RealtimeRelay(QWebSocket* client, QTcpSocket* clientTransport, int number, const ProviderClient& provider,
                  const std::string& secret, QObject* parent);
    ~RealtimeRelay() override;

    /// Meters the connected time against `userId`'s quota and ends the
    /// session (an error event, then a close) once it is used up.
    void meterWith(UsageService& usage, const std::string& userId);
    /// Server shutdown: both sides get this close.
    void close(int code, const std::string& reason);

    static constexpr qint64 maxMessageBytes = 32 * 1024 * 1024;
    /// Bytes queued towards one side beyond which the other is not read.
    static constexpr qint64 maxQueuedBytes = 1024 * 1024;
    static constexpr int stallMs = 10'000;
    static constexpr int closeGraceMs = 2'000;

private:
    struct Frame {
        QByteArray data;
        bool binary;
    };
    void toUpstream(const QByteArray& data, bool binary);
    void toClient(const QByteArray& data, bool binary);
    void upstreamConnected();
    void upstreamEnded();
    void clientEnded();
    void balance();
    void finishWhenDone();
    void log(const std::string& text) const;

    QWebSocket* client_;
    QWebSocket upstream_;
    ReadGate clientGate_;
    ReadGate upstreamGate_;
    int number_;
    bool upstreamOpen_ = false;
    bool upstreamGone_ = false;
    bool clientGone_ = false;
    std::vector<Frame> early_; // client frames sent before the provider answered
    QTimer watch_;            // while a side is held back: is the other taking its bytes?
    QElapsedTimer behindSince_;
    QTimer connectTimer_;
    QTimer graceTimer_;
};

/// A close code that may be sent in a close frame: the reserved ones
/// (no status, abnormal end, TLS failure) become a normal close.
int sendableCloseCode(int code);

} // namespace twk::server
