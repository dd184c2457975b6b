#include "platform/linux/qt_websocket.h"

#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include <chrono>
#include <deque>

namespace twk {
namespace {

// How long a closing socket waits for the peer's close reply before it is dropped.
constexpr std::chrono::milliseconds kCloseGrace{5000};

} // namespace

/// The state shared between the caller's threads and the network thread.
struct QtWebSocket::Connection {
    std::mutex mutex;
    WebSocketHandlers handlers; // fixed by open() before the network thread reads it
    std::deque<std::string> outbox;
    bool closeRequested = false;
    bool failed = false;

    // Network thread only.
    QWebSocket* socket = nullptr;
    QTimer* openTimer = nullptr;
    bool isOpen = false;

    bool delivering()
    {
        std::lock_guard lock(mutex);
        return !closeRequested && !failed;
    }

    void start(const WebSocketRequest& request, QObject* parent, const std::shared_ptr<Connection>& self);
    void flush();
    void fail(const std::string& description);
    void shutDown(int code, const QString& reason);
};

void QtWebSocket::Connection::start(const WebSocketRequest& request, QObject* parent,
                                    const std::shared_ptr<Connection>& self)
{
    if (!delivering()) return;
    socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, parent);
    QWebSocket* s = socket;
    // Every handler runs on this thread and keeps the connection state
    // alive; they go with the socket.
    QObject::connect(s, &QWebSocket::connected, s, [self] {
        if (self->openTimer) self->openTimer->stop();
        self->isOpen = true;
        self->flush();
    });
    QObject::connect(s, &QWebSocket::textMessageReceived, s, [self](const QString& message) {
        if (!self->delivering() || !self->handlers.onText) return;
        const QByteArray utf8 = message.toUtf8();
        self->handlers.onText(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    });
    QObject::connect(s, &QWebSocket::binaryMessageReceived, s, [self](const QByteArray& message) {
        if (!self->delivering() || !self->handlers.onBinary) return;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.constData());
        self->handlers.onBinary(std::span<const std::uint8_t>(bytes, static_cast<size_t>(message.size())));
    });
    const auto errorSignal = qOverload<QAbstractSocket::SocketError>(&QWebSocket::error);
    QObject::connect(s, errorSignal, s, [self, s](QAbstractSocket::SocketError) {
        std::string where = self->isOpen ? "" : "could not connect to " + s->requestUrl().toString(QUrl::RemoveQuery).toStdString() + ": ";
        self->fail(where + s->errorString().toStdString());
    });
    QObject::connect(s, &QWebSocket::disconnected, s, [self, s] {
        if (!self->isOpen) {
            // Never opened: refused, unreachable, or the handshake was turned
            // down; there was no close frame to report.
            self->fail("could not connect to " + s->requestUrl().toString(QUrl::RemoveQuery).toStdString() + ": " +
                       s->errorString().toStdString());
            return;
        }
        std::string description =
            "The connection was closed by the server (code " + std::to_string(static_cast<int>(s->closeCode()));
        if (!s->closeReason().isEmpty()) description += ": " + s->closeReason().toStdString();
        self->fail(description + ")");
    });

    openTimer = new QTimer(s);
    openTimer->setSingleShot(true);
    openTimer->setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5% early
    QObject::connect(openTimer, &QTimer::timeout, s, [self, s] {
        self->fail("The request timed out.");
        s->abort();
    });
    openTimer->start(std::chrono::duration_cast<std::chrono::milliseconds>(request.openTimeout));

    QNetworkRequest networkRequest(QUrl(QString::fromStdString(request.url)));
    for (const auto& [name, value] : request.headers)
        networkRequest.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    s->open(networkRequest);
}

void QtWebSocket::Connection::flush()
{
    std::deque<std::string> batch;
    bool sendable = false;
    {
        std::lock_guard lock(mutex);
        if (closeRequested && !isOpen) {
            outbox.clear(); // closed by us before it opened or after it failed: nothing to report
            return;
        }
        if (!isOpen && !failed) return; // kept until the handshake is done
        batch.swap(outbox);
        sendable = !failed;
    }
    for (const std::string& text : batch) {
        if (sendable && socket && socket->state() == QAbstractSocket::ConnectedState) {
            const qint64 sent =
                socket->sendTextMessage(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
            if (sent == static_cast<qint64>(text.size())) continue;
            if (handlers.onSendError) handlers.onSendError(socket->errorString().toStdString());
        } else if (handlers.onSendError) {
            handlers.onSendError("The socket is not connected.");
        }
    }
}

void QtWebSocket::Connection::fail(const std::string& description)
{
    {
        std::lock_guard lock(mutex);
        if (closeRequested || failed) return;
        failed = true;
        isOpen = false;
    }
    if (openTimer) openTimer->stop();
    if (handlers.onFailure) handlers.onFailure(description);
    flush(); // whatever was still waiting is reported, not dropped silently
}

void QtWebSocket::Connection::shutDown(int code, const QString& reason)
{
    flush();
    if (!socket) return;
    QWebSocket* s = socket;
    socket = nullptr;
    openTimer = nullptr; // a child of the socket
    if (s->state() == QAbstractSocket::ConnectedState) {
        // Deleting at once would drop the close frame still in the buffer.
        QObject::connect(s, &QWebSocket::disconnected, s, &QObject::deleteLater);
        QTimer::singleShot(kCloseGrace, s, [s] {
            s->abort();
            s->deleteLater();
        });
        s->close(static_cast<QWebSocketProtocol::CloseCode>(code), reason);
    } else {
        s->abort();
        s->deleteLater();
    }
}

QtWebSocket::QtWebSocket(std::shared_ptr<QtNetworkThread> thread)
    : thread_(std::move(thread)), connection_(std::make_shared<Connection>())
{
}

QtWebSocket::~QtWebSocket()
{
    close(1001);
}

void QtWebSocket::open(WebSocketRequest request, WebSocketHandlers handlers)
{
    {
        std::lock_guard lock(connection_->mutex);
        connection_->handlers = std::move(handlers);
    }
    thread_->post([conn = connection_, thread = thread_.get(), request = std::move(request)] {
        conn->start(request, thread->context(), conn);
    });
}

void QtWebSocket::sendText(std::string text)
{
    bool wake = false;
    {
        std::lock_guard lock(connection_->mutex);
        if (connection_->closeRequested) return;
        wake = connection_->outbox.empty();
        connection_->outbox.push_back(std::move(text));
    }
    // One wake-up drains everything queued before it runs.
    if (wake) thread_->post([conn = connection_] { conn->flush(); });
}

void QtWebSocket::close(int code, std::string reason)
{
    {
        std::lock_guard lock(connection_->mutex);
        if (connection_->closeRequested) return;
        connection_->closeRequested = true;
    }
    thread_->post([conn = connection_, code, reason = QString::fromStdString(reason)] {
        conn->shutDown(code, reason);
    });
}

QtWebSocketFactory::QtWebSocketFactory() : thread_(std::make_shared<QtNetworkThread>()) {}

QtWebSocketFactory::~QtWebSocketFactory()
{
    thread_->stop();
}

std::shared_ptr<WebSocket> QtWebSocketFactory::makeWebSocket()
{
    return std::make_shared<QtWebSocket>(thread_);
}

} // namespace twk
