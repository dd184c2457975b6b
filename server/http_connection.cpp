#include "http_connection.h"

#include "common/log.h"

#include <QPointer>
#include <QTcpSocket>

#include <sys/socket.h>

namespace twk::server {

HttpConnection::HttpConnection(QTcpSocket* socket, RequestRouter& router, Upgrade upgrade, HttpLimits limits, QObject* parent)
    : QObject(parent), socket_(socket), router_(router), upgrade_(std::move(upgrade)), limits_(limits),
      readBufferBytes_(qint64(limits.maxHeadBytes + limits.maxBodyBytes) + 64 * 1024)
{
    socket_->setParent(this);
    // A whole request fits; beyond that the kernel holds the rest and the peer waits.
    socket_->setReadBufferSize(readBufferBytes_);
    stallTimer_.setSingleShot(true);
    connect(&stallTimer_, &QTimer::timeout, this, [this] {
        logLine("[twk/server] closed a connection from " + socket_->peerAddress().toString().toStdString() +
                " that did not read its answers");
        socket_->abort();
    });
    connect(socket_, &QTcpSocket::bytesWritten, this, [this] {
        if (paused_ && socket_->bytesToWrite() <= maxPendingOutput / 2) resumeReading();
    });
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
    stallTimer_.stop();
    if (socket_) socket_->abort();
    deleteLater();
}

bool HttpConnection::isIdle() const
{
    return socket_ && !closing_ && !paused_ && !awaiting_ && socket_->bytesToWrite() == 0;
}

void HttpConnection::pauseReading()
{
    paused_ = true;
    timer_.stop(); // the requests have arrived: it is the answers that wait
    // A full read buffer makes Qt stop reading the socket.
    socket_->setReadBufferSize(std::max<qint64>(1, socket_->bytesAvailable()));
    stallTimer_.start(stallMs);
}

void HttpConnection::resumeReading()
{
    paused_ = false;
    stallTimer_.stop();
    socket_->setReadBufferSize(readBufferBytes_);
    timer_.start(timeoutMs);
    processAvailable();
}

void HttpConnection::rearmReading()
{
    // Consuming from a read buffer that was full does not always restart
    // reading; setting the size again does.
    socket_->setReadBufferSize(readBufferBytes_ + 1);
    socket_->setReadBufferSize(readBufferBytes_);
}

void HttpConnection::processAvailable()
{
    if (paused_ || awaiting_) return;
    if (closing_) {
        socket_->skip(socket_->bytesAvailable()); // a refused client may still be sending
        rearmReading();
        return;
    }
    while (!closing_ && socket_->bytesAvailable() > 0) {
        if (socket_->bytesToWrite() > maxPendingOutput) return pauseReading();
        const qint64 available = socket_->bytesAvailable();
        const QByteArray head = socket_->peek(qint64(limits_.maxHeadBytes) + 1);
        HeadParse parsed = parseRequestHead(std::string_view(head.constData(), size_t(head.size())), limits_);
        if (parsed.outcome == HeadParse::Outcome::invalid) {
            respond(errorResponse(parsed.status, parsed.error), false);
            return;
        }
        if (parsed.outcome == HeadParse::Outcome::incomplete) return;

        const qint64 total = qint64(parsed.headLength + parsed.contentLength);
        // A larger body than most (an agent round with a screenshot) widens the buffer for this request only.
        if (total + 64 * 1024 > readBufferBytes_) socket_->setReadBufferSize(total + 64 * 1024);
        if (available < total) {
            if (parsed.expectsContinue && !continueSent_) {
                socket_->write("HTTP/1.1 100 Continue\r\n\r\n");
                continueSent_ = true;
            }
            return;
        }
        HttpRequest& request = parsed.request;
        request.peer = socket_->peerAddress().toString().toStdString();
        request.body = socket_->peek(total).mid(qsizetype(parsed.headLength)).toStdString();
        const RequestRouter::Routed routed = router_.route(request);
        if (routed.upgrade) {
            handOver(routed.grant);
            return;
        }
        socket_->skip(total);
        socket_->setReadBufferSize(readBufferBytes_);
        continueSent_ = false;
        if (routed.deferred) {
            awaitAnswer(routed.deferred, request.keepAlive);
            return;
        }
        respond(routed.response, request.keepAlive);
    }
    if (socket_ && !paused_) rearmReading();
}

void HttpConnection::awaitAnswer(const std::function<void(std::function<void(const HttpResponse&)>)>& deferred, bool keepAlive)
{
    // Pipelined requests wait behind this one; the answer's own deadline
    // (the provider's timeout) replaces the request timeout meanwhile.
    awaiting_ = true;
    timer_.stop();
    QPointer<HttpConnection> self(this);
    deferred([self, keepAlive](const HttpResponse& response) {
        HttpConnection* connection = self.data();
        if (connection == nullptr || connection->socket_ == nullptr) return; // the client has gone
        connection->awaiting_ = false;
        connection->respond(response, keepAlive);
        connection->processAvailable();
    });
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

void HttpConnection::handOver(const RealtimeGrant& grant)
{
    timer_.stop();
    stallTimer_.stop();
    socket_->setReadBufferSize(0); // the WebSocket layer reads at its own pace
    socket_->disconnect(this);
    socket_->setParent(nullptr);
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    deleteLater();
    upgrade_(socket, grant);
}

} // namespace twk::server
