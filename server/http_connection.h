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
    using Upgrade = std::function<void(QTcpSocket*)>;

    HttpConnection(QTcpSocket* socket, RequestRouter& router, Upgrade upgrade, HttpLimits limits, QObject* parent);

    /// Ends the connection at once (server shutdown).
    void abort();

    /// Each request must have arrived in full this long after the previous answer.
    static constexpr int timeoutMs = 30'000;
    static constexpr int lingerMs = 2'000;          // reading what a refused client still sends

private:
    void processAvailable();
    void respond(const HttpResponse& response, bool keepAlive);
    void closeAfterWrite();
    void handOver();

    QTcpSocket* socket_;
    RequestRouter& router_;
    Upgrade upgrade_;
    HttpLimits limits_;
    QTimer timer_;
    bool closing_ = false;
    bool continueSent_ = false;
};

} // namespace twk::server
