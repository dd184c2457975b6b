#pragma once

#include "http_connection.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

namespace twk::server {

/// Accepts TCP connections and gives each to an HttpConnection.
class HttpServer : public QObject {
public:
    HttpServer(RequestRouter& router, HttpConnection::Upgrade upgrade, HttpLimits limits = {});

    /// False with errorString() set when the address cannot be bound.
    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const { return server_.errorString(); }
    quint16 port() const { return server_.serverPort(); }
    /// Stops accepting and ends every open HTTP connection.
    void close();

private:
    QTcpServer server_;
    RequestRouter& router_;
    HttpConnection::Upgrade upgrade_;
    HttpLimits limits_;
};

} // namespace twk::server
