#include "platform/linux/qt_websocket_listener.h"

#include <QHostAddress>
#include <QPointer>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>

namespace twk {
namespace {

class QtListenerConnection : public ListenerConnection {
public:
    explicit QtListenerConnection(QWebSocket* socket) : socket_(socket) {}
    ~QtListenerConnection() override
    {
        if (socket_) socket_->deleteLater();
    }

    void start(ListenerConnectionHandlers handlers) override
    {
        handlers_ = std::move(handlers);
        if (!socket_) return;
        const auto deliver = [this](const QByteArray& bytes) {
            if (handlers_.onMessage) handlers_.onMessage(bytes.toStdString());
        };
        QObject::connect(socket_, &QWebSocket::textMessageReceived, socket_,
                         [deliver](const QString& text) { deliver(text.toUtf8()); });
        QObject::connect(socket_, &QWebSocket::binaryMessageReceived, socket_, deliver);
        QObject::connect(socket_, &QWebSocket::disconnected, socket_, [this] { ended(); });
        // The handshake is over when the server hands a socket out.
        if (socket_->state() == QAbstractSocket::ConnectedState) {
            if (handlers_.onReady) handlers_.onReady();
        } else {
            ended();
        }
    }

    void sendText(std::string text, std::function<void(std::optional<std::string> error)> sent) override
    {
        std::optional<std::string> error;
        if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState)
            error = "the connection is closed";
        else if (socket_->sendTextMessage(QString::fromStdString(text)) < 0)
            error = socket_->errorString().toStdString();
        if (sent) sent(std::move(error));
    }

    void cancel() override
    {
        cancelled_ = true;
        if (socket_) socket_->abort();
    }

private:
    void ended()
    {
        if (over_) return;
        over_ = true;
        if (cancelled_) {
            if (handlers_.onCancelled) handlers_.onCancelled();
        } else if (handlers_.onFailed) {
            handlers_.onFailed(socket_ ? socket_->errorString().toStdString() : "the connection closed");
        }
    }

    QPointer<QWebSocket> socket_;
    ListenerConnectionHandlers handlers_;
    bool cancelled_ = false;
    bool over_ = false;
};

} // namespace

QtWebSocketListener::QtWebSocketListener() = default;
QtWebSocketListener::~QtWebSocketListener() = default;

VoidResult QtWebSocketListener::listen(const ListenerOptions& options,
                                       std::function<void(std::shared_ptr<ListenerConnection>)> onConnection)
{
    auto server = std::make_unique<QWebSocketServer>(QStringLiteral("tarnwick"), QWebSocketServer::NonSecureMode);
    QObject::connect(server.get(), &QWebSocketServer::originAuthenticationRequired, server.get(),
                     [accept = options.acceptOrigin](QWebSocketCorsAuthenticator* authenticator) {
                         authenticator->setAllowed(!accept || accept(authenticator->origin().toStdString()));
                     });
    QWebSocketServer* raw = server.get();
    const auto limit = static_cast<quint64>(options.maxMessageBytes);
    QObject::connect(raw, &QWebSocketServer::newConnection, raw, [raw, limit, onConnection = std::move(onConnection)] {
        while (QWebSocket* socket = raw->nextPendingConnection()) {
            socket->setParent(nullptr);
            socket->setMaxAllowedIncomingMessageSize(limit);
            socket->setMaxAllowedIncomingFrameSize(limit);
            onConnection(std::make_shared<QtListenerConnection>(socket));
        }
    });
    const QHostAddress address = options.loopbackOnly ? QHostAddress(QHostAddress::LocalHost) : QHostAddress::Any;
    if (!server->listen(address, options.port))
        return Error("twk.network", -1, server->errorString().toStdString());
    server_ = std::move(server);
    return Unit{};
}

} // namespace twk
