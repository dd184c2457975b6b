#pragma once

#include "http_request.h"
#include "request_router.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QTcpSocket;

namespace twk::server {

/// One client connection: reads requests (keep-alive, pipelined), answers
/// each through the router, and hands the socket over when a request is an
/// authorised WebSocket upgrade. The request bytes are only peeked until the
/// router has decided, so the WebSocket server reads the handshake itself.
class HttpConnection : public QObject {
public:
    using Upgrade = std::function<void(QTcpSocket*, const RealtimeGrant&)>;

    HttpConnection(QTcpSocket* socket, RequestRouter& router, Upgrade upgrade, HttpLimits limits, QObject* parent);

    /// Ends the connection at once (server shutdown, or room for a newer one).
    void abort();
    /// Waiting for a request, with no answer still on its way out.
    bool isIdle() const;

    /// Each request must have arrived in full this long after the connection
    /// was made or the previous answer went out; an idle connection is closed then.
    static constexpr int timeoutMs = 10'000;
    static constexpr int lingerMs = 2'000; // reading what a refused client still sends
    /// Answers not yet taken by the peer beyond which its requests wait: a
    /// client that pipelines without reading cannot make the server buffer
    /// without bound. One that stays over it this long is disconnected.
    static constexpr qint64 maxPendingOutput = 256 * 1024;
    static constexpr int stallMs = 10'000;

private:
    void processAvailable();
    void respond(const HttpResponse& response, bool keepAlive);
    void awaitAnswer(const std::function<void(std::function<void(const HttpResponse&)>)>& deferred, bool keepAlive);
    void closeAfterWrite();
    void handOver(const RealtimeGrant& grant);
    void pauseReading();
    void resumeReading();
    void rearmReading();

    QTcpSocket* socket_;
    RequestRouter& router_;
    Upgrade upgrade_;
    HttpLimits limits_;
    QTimer timer_;
    QTimer stallTimer_;
    qint64 readBufferBytes_;
    bool paused_ = false;
    bool awaiting_ = false; // an answer is on its way from elsewhere
    bool closing_ = false;
    bool continueSent_ = false;
};

} // namespace twk::server
