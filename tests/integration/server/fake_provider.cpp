#include "integration/server/fake_provider.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <condition_variable>
#include <thread>

namespace twk::test {
namespace {

using nlohmann::json;

std::string header(const std::string& head, const std::string& name)
{
    std::string lower = head;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find("\r\n" + name + ":");
    if (at == std::string::npos) return {};
    const size_t start = head.find_first_not_of(' ', at + name.size() + 3);
    return head.substr(start, head.find("\r\n", start) - start);
}

QByteArray httpAnswer(int status, const json& body)
{
    const std::string text = body.dump();
    return QByteArray::fromStdString("HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: application/json\r\nContent-Length: " +
                                     std::to_string(text.size()) + "\r\nConnection: close\r\n\r\n" + text);
}

class Socket : public FakeProviderSocket {
public:
    Socket(QWebSocket* ws, QTcpSocket* tcp) : ws_(ws), tcp_(tcp) {}
    void sendText(const std::string& text) override { ws_->sendTextMessage(QString::fromStdString(text)); }
    void sendBinary(const QByteArray& data) override { ws_->sendBinaryMessage(data); }
    void close(int code, const std::string& reason) override
    {
        ws_->close(QWebSocketProtocol::CloseCode(code), QString::fromStdString(reason));
    }
    void stopReading() override
    {
        QTcpSocket* tcp = tcp_.data();
        if (tcp == nullptr) return;
        tcp->setReadBufferSize(4096);
        tcp->blockSignals(true);
    }
    void abort() override { ws_->abort(); }

private:
    QPointer<QWebSocket> ws_;
    QPointer<QTcpSocket> tcp_;
};

} // namespace

class FakeProvider::Impl : public QObject {
public:
    explicit Impl(Settings settings) : settings_(std::move(settings)) {}

    // In the provider's thread.
    void start()
    {
        http_ = new QTcpServer(this);
        ws_ = new QWebSocketServer("fake-provider", QWebSocketServer::NonSecureMode, this);
        http_->listen(QHostAddress::LocalHost, 0);
        connect(http_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = http_->nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { onRequest(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        connect(ws_, &QWebSocketServer::newConnection, this, [this] {
            while (QWebSocket* w = ws_->nextPendingConnection()) onSocket(w);
        });
        port_ = http_->serverPort();
    }

    void onRequest(QTcpSocket* s)
    {
        const QByteArray peeked = s->peek(s->bytesAvailable());
        const qsizetype end = peeked.indexOf("\r\n\r\n");
        if (end < 0) return;
        const std::string head = peeked.left(end + 2).toStdString();
        const std::string target = head.substr(head.find(' ') + 1, head.find(' ', head.find(' ') + 1) - head.find(' ') - 1);
        const std::string authorization = header(head, "authorization");
        if (target.starts_with("/v1/realtime?") || target == "/v1/realtime") {
            const std::string secret = authorization.starts_with("Bearer ") ? authorization.substr(7) : "";
            std::unique_lock lock(mutex_);
            const bool known = std::find(observed_.issuedSecrets.begin(), observed_.issuedSecrets.end(), secret) !=
                               observed_.issuedSecrets.end();
            if (!known || settings_.refuseSockets) {
                observed_.socketRefusals.push_back("unknown secret on " + target);
                lock.unlock();
                changed_.notify_all();
                s->write(httpAnswer(401, {{"error", {{"message", "invalid client secret"}, {"code", "invalid_api_key"}}}}));
                s->disconnectFromHost();
                return;
            }
            observed_.socketTargets.push_back(target);
            lock.unlock();
            s->disconnect(this);
            pendingTcp_ = s;
            ws_->handleConnection(s);
            return;
        }
        const size_t length = size_t(std::stoul("0" + header(head, "content-length")));
        if (size_t(peeked.size()) < size_t(end) + 4 + length) return;
        s->read(end + 4);
        const json body = json::parse(s->read(qint64(length)).toStdString(), nullptr, false);
        std::unique_lock lock(mutex_);
        if ((target == "/v1/messages" || target == "/v1/chat/completions") && settings_.onModelRequest) {
            FakeModelRequest request{target, {}, body};
            for (const char* name : {"x-api-key", "anthropic-version", "authorization", "content-type"})
                if (const std::string value = header(head, name); !value.empty()) request.headers[name] = value;
            observed_.modelRequests.push_back(request);
            lock.unlock();
            changed_.notify_all();
            const auto [status, answer] = settings_.onModelRequest(request);
            s->write(httpAnswer(status, answer));
            s->disconnectFromHost();
            return;
        }
        if (target != "/v1/realtime/client_secrets") {
            lock.unlock();
            s->write(httpAnswer(404, {{"error", {{"message", "no such endpoint"}}}}));
            s->disconnectFromHost();
            return;
        }
        json answer;
        int status = 200;
        if (authorization != "Bearer " + settings_.apiKey) {
            observed_.mintRefusals.push_back("key");
            // As a real provider does, the refusal quotes the key it was given.
            answer = {{"error", {{"message", "Incorrect API key provided: " + authorization}, {"code", "invalid_api_key"}}}};
            status = 401;
        } else if (!body.is_object() || body.value("session", json()).value("type", "") != "realtime" ||
                   body["session"].value("model", "") != settings_.model) {
            observed_.mintRefusals.push_back("shape: " + body.dump());
            answer = {{"error", {{"message", "bad session"}, {"code", "invalid_value"}}}};
            status = 400;
        } else if (settings_.mintStatus != 200) {
            observed_.mintBodies.push_back(body);
            answer = {{"error", {{"message", "overloaded, key " + settings_.apiKey}, {"code", "server_error"}}}};
            status = settings_.mintStatus;
        } else {
            observed_.mintBodies.push_back(body);
            const std::string secret = "ek_fake_" + std::to_string(observed_.issuedSecrets.size() + 1) + "_" +
                                       std::to_string(QDateTime::currentMSecsSinceEpoch());
            observed_.issuedSecrets.push_back(secret);
            answer = {{"value", secret}, {"expires_at", QDateTime::currentSecsSinceEpoch() + 600},
                      {"session", {{"type", "realtime"}, {"model", settings_.model}}}};
        }
        lock.unlock();
        changed_.notify_all();
        QPointer<QTcpSocket> socket(s);
        QTimer::singleShot(settings_.mintDelay, this, [socket, status, answer] {
            QTcpSocket* tcp = socket.data();
            if (tcp == nullptr) return;
            tcp->write(httpAnswer(status, answer));
            tcp->disconnectFromHost();
        });
    }

    void onSocket(QWebSocket* w)
    {
        w->setParent(this);
        auto socket = std::make_shared<Socket>(w, pendingTcp_.data());
        {
            std::lock_guard lock(mutex_);
            ++observed_.openSockets;
        }
        changed_.notify_all();
        const auto frame = [this, socket](bool binary, const QByteArray& data) {
            {
                std::lock_guard lock(mutex_);
                observed_.frames.push_back({binary, data});
            }
            changed_.notify_all();
            if (settings_.onFrame) settings_.onFrame(*socket, {binary, data});
        };
        connect(w, &QWebSocket::textMessageReceived, this, [frame](const QString& t) { frame(false, t.toUtf8()); });
        connect(w, &QWebSocket::binaryMessageReceived, this, [frame](const QByteArray& d) { frame(true, d); });
        connect(w, &QWebSocket::disconnected, this, [this, w, socket] {
            {
                std::lock_guard lock(mutex_);
                --observed_.openSockets;
                observed_.closeCodes.push_back(int(w->closeCode()));
                observed_.closeReasons.push_back(w->closeReason().toStdString());
            }
            changed_.notify_all();
            w->deleteLater();
        });
        if (settings_.onOpen) settings_.onOpen(*socket);
    }

    Settings settings_;
    QTcpServer* http_ = nullptr;
    QWebSocketServer* ws_ = nullptr;
    QPointer<QTcpSocket> pendingTcp_;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Observed observed_;
    QThread thread_;
};

FakeProvider::FakeProvider(Settings settings) : impl_(std::make_unique<Impl>(std::move(settings)))
{
    impl_->moveToThread(&impl_->thread_);
    impl_->thread_.start();
    QMetaObject::invokeMethod(impl_.get(), [this] { impl_->start(); }, Qt::BlockingQueuedConnection);
}

FakeProvider::~FakeProvider()
{
    // Its objects go in its own thread, then the thread ends.
    QMetaObject::invokeMethod(impl_.get(), [this] {
        for (QObject* child : impl_->children()) delete child;
    }, Qt::BlockingQueuedConnection);
    impl_->thread_.quit();
    impl_->thread_.wait();
}

int FakeProvider::port() const { return impl_->port_; }

FakeProvider::Observed FakeProvider::observed() const
{
    std::lock_guard lock(impl_->mutex_);
    return impl_->observed_;
}

bool FakeProvider::waitFor(const std::function<bool(const Observed&)>& done, std::chrono::milliseconds timeout) const
{
    // The caller's own Qt objects (a test client) keep working meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (done(observed())) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::unique_lock lock(impl_->mutex_);
        impl_->changed_.wait_for(lock, std::chrono::milliseconds(10));
    }
}

int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace twk::test
