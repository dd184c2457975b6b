#pragma once

#include "connection_limits.h"
#include "http_connection.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

namespace twk::server {

/// Accepts TCP connections within the connection caps and gives each to an
/// HttpConnection.
class HttpServer : public QObject {
public:
    HttpServer(RequestRouter& router, HttpConnection::Upgrade upgrade, HttpLimits limits = {},
               ConnectionLimits::Caps caps = {});

    /// False with errorString() set when the address cannot be bound.
    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const { return server_.errorString(); }
    quint16 port() const { return server_.serverPort(); }
    /// Stops accepting and ends every open HTTP connection.
    void close();

    /// After running out of descriptors, accepting resumes this much later
    /// instead of failing in a busy loop.
    static constexpr int acceptPauseMs = 200;

private:
    void acceptPending();

    QTcpServer server_;
    RequestRouter& router_;
    HttpConnection::Upgrade upgrade_;
    HttpLimits limits_;
    ConnectionLimits connections_;
    long refused_ = 0;
};

} // namespace twk::server
