#include "http_server.h"

#include <QTcpSocket>

namespace twk::server {

HttpServer::HttpServer(RequestRouter& router, HttpConnection::Upgrade upgrade, HttpLimits limits)
    : router_(router), upgrade_(std::move(upgrade)), limits_(limits)
{
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection())
            new HttpConnection(socket, router_, upgrade_, limits_, this);
    });
}

bool HttpServer::listen(const QHostAddress& address, quint16 port) { return server_.listen(address, port); }

void HttpServer::close()
{
    server_.close();
    for (HttpConnection* c : findChildren<HttpConnection*>(Qt::FindDirectChildrenOnly)) c->abort();
}

} // namespace twk::server
