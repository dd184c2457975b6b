#include "http_connection.h"

#include <QTcpSocket>

#include <sys/socket.h>

namespace twk::server {

HttpConnection::HttpConnection(QTcpSocket* socket, RequestRouter& router, Upgrade upgrade, HttpLimits limits, QObject* parent)
    : QObject(parent), socket_(socket), router_(router), upgrade_(std::move(upgrade)), limits_(limits)
{
    socket_->setParent(this);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (closing_) {
            socket_->abort();
            return;
        }
        if (socket_->bytesAvailable() == 0) {
            socket_->disconnectFromHost(); // idle
            return;
        }
        respond(errorResponse(408, "the request did not arrive in time"), false);
    });
    connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::processAvailable);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    timer_.start(timeoutMs);
    processAvailable();
}

void HttpConnection::abort()
{
    timer_.stop();
    if (socket_) socket_->abort();
}

void HttpConnection::processAvailable()
{
    if (closing_) {
        socket_->skip(socket_->bytesAvailable()); // a refused client may still be sending
        return;
    }
    while (!closing_ && socket_->bytesAvailable() > 0) {
        const qint64 available = socket_->bytesAvailable();
        const QByteArray head = socket_->peek(qint64(limits_.maxHeadBytes) + 1);
        HeadParse parsed = parseRequestHead(std::string_view(head.constData(), size_t(head.size())), limits_);
        if (parsed.outcome == HeadParse::Outcome::invalid) {
            respond(errorResponse(parsed.status, parsed.error), false);
            return;
        }
        if (parsed.outcome == HeadParse::Outcome::incomplete) return;

        const qint64 total = qint64(parsed.headLength + parsed.contentLength);
        if (available < total) {
            if (parsed.expectsContinue && !continueSent_) {
                socket_->write("HTTP/1.1 100 Continue\r\n\r\n");
                continueSent_ = true;
            }
            return;
        }
        HttpRequest& request = parsed.request;
        request.body = socket_->peek(total).mid(qsizetype(parsed.headLength)).toStdString();
        const RequestRouter::Routed routed = router_.route(request);
        if (routed.upgrade) {
            handOver();
            return;
        }
        socket_->skip(total);
        continueSent_ = false;
        respond(routed.response, request.keepAlive);
    }
}

void HttpConnection::respond(const HttpResponse& response, bool keepAlive)
{
    const bool stayOpen = keepAlive && !response.closeConnection;
    const std::string bytes = serializeResponse(response, stayOpen);
    socket_->write(bytes.data(), qint64(bytes.size()));
    if (stayOpen)
        timer_.start(timeoutMs);
    else
        closeAfterWrite();
}

void HttpConnection::closeAfterWrite()
{
    // Closing with unread input makes the kernel reset the connection, which
    // can destroy the answer before the client reads it. So: send everything,
    // shut down our direction only, and discard input until the client closes.
    closing_ = true;
    timer_.start(lingerMs);
    const auto shutDownWrite = [this] {
        if (socket_->bytesToWrite() > 0) return;
        ::shutdown(int(socket_->socketDescriptor()), SHUT_WR);
    };
    connect(socket_, &QTcpSocket::bytesWritten, this, shutDownWrite);
    shutDownWrite();
    socket_->skip(socket_->bytesAvailable());
}

void HttpConnection::handOver()
{
    timer_.stop();
    socket_->disconnect(this);
    socket_->setParent(nullptr);
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    deleteLater();
    upgrade_(socket);
}

} // namespace twk::server
