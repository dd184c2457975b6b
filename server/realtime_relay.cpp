#include "realtime_relay.h"

#include "common/log.h"
#include "session_meter.h"

#include <QNetworkRequest>
#include <QTcpSocket>

#include <nlohmann/json.hpp>

namespace twk::server {

int sendableCloseCode(int code)
{
    if (code < 1000 || code == 1004 || code == 1005 || code == 1006 || code == 1015 || code > 4999) return 1000;
    return code;
}

RealtimeRelay::RealtimeRelay(QWebSocket* client, QTcpSocket* clientTransport, int number, const ProviderClient& provider,
                             const std::string& secret, QObject* parent)
    : QObject(parent), client_(client), upstream_(QString(), QWebSocketProtocol::VersionLatest, this),
      clientGate_(clientTransport), number_(number)
{
    client_->setParent(this);
    client_->setMaxAllowedIncomingMessageSize(maxMessageBytes);
    upstream_.setMaxAllowedIncomingMessageSize(maxMessageBytes);
    // Nothing more from the client until the provider's socket is open.
    clientGate_.close();

    connect(client_, &QWebSocket::textMessageReceived, this, [this](const QString& text) { toUpstream(text.toUtf8(), false); });
    connect(client_, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& data) { toUpstream(data, true); });
    connect(client_, &QWebSocket::disconnected, this, &RealtimeRelay::clientEnded);
    connect(&upstream_, &QWebSocket::textMessageReceived, this, [this](const QString& text) { toClient(text.toUtf8(), false); });
    connect(&upstream_, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& data) { toClient(data, true); });
    connect(&upstream_, &QWebSocket::connected, this, &RealtimeRelay::upstreamConnected);
    connect(&upstream_, &QWebSocket::disconnected, this, &RealtimeRelay::upstreamEnded);

    watch_.setInterval(20);
    connect(&watch_, &QTimer::timeout, this, &RealtimeRelay::balance);
    connectTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this, [this] {
        log("the provider did not open the session in time");
        upstream_.abort();
    });
    graceTimer_.setSingleShot(true);
    connect(&graceTimer_, &QTimer::timeout, this, [this] {
        // A side that did not finish its close in time is cut off.
        if (!clientGone_) client_->abort();
        if (!upstreamGone_) upstream_.abort();
        clientGone_ = upstreamGone_ = true;
        deleteLater();
    });

    QNetworkRequest request(provider.realtimeUrl());
    request.setRawHeader("Authorization", QByteArray::fromStdString("Bearer " + secret));
    connectTimer_.start(provider.settings().timeoutMs);
    log("connecting to the provider");
    upstream_.open(request);
}

RealtimeRelay::~RealtimeRelay() = default;

void RealtimeRelay::log(const std::string& text) const { logLine("[twk/server] relay #" + std::to_string(number_) + " " + text); }

void RealtimeRelay::meterWith(UsageService& usage, const std::string& userId)
{
    new SessionMeter(usage, userId, [this] {
        log("quota used up: ending the session");
        if (!clientGone_) {
            const nlohmann::json error = {{"type", "error"},
                                          {"error", {{"type", "invalid_request_error"}, {"code", "quota_exceeded"},
                                                     {"message", "this month's minutes are used up"}}}};
            client_->sendTextMessage(QString::fromStdString(error.dump()));
        }
        close(int(QWebSocketProtocol::CloseCodePolicyViolated), "quota exceeded");
    }, this);
}

void RealtimeRelay::close(int code, const std::string& reason)
{
    const auto qcode = QWebSocketProtocol::CloseCode(sendableCloseCode(code));
    if (!clientGone_) client_->close(qcode, QString::fromStdString(reason));
    if (!upstreamGone_) {
        if (upstreamOpen_)
            upstream_.close(qcode, QString::fromStdString(reason));
        else
            upstream_.abort();
    }
    graceTimer_.start(closeGraceMs);
}

void RealtimeRelay::toUpstream(const QByteArray& data, bool binary)
{
    if (upstreamGone_) return;
    if (!upstreamOpen_) {
        early_.push_back({data, binary});
        return;
    }
    if (binary)
        upstream_.sendBinaryMessage(data);
    else
        upstream_.sendTextMessage(QString::fromUtf8(data));
    balance();
}

void RealtimeRelay::toClient(const QByteArray& data, bool binary)
{
    if (clientGone_) return;
    if (binary)
        client_->sendBinaryMessage(data);
    else
        client_->sendTextMessage(QString::fromUtf8(data));
    balance();
}

void RealtimeRelay::balance()
{
    // Each side is read only while the other takes what it is sent.
    const bool clientBehind = !clientGone_ && client_->bytesToWrite() > maxQueuedBytes;
    const bool upstreamBehind = upstreamOpen_ && !upstreamGone_ && upstream_.bytesToWrite() > maxQueuedBytes;
    const bool clientCaughtUp = clientGone_ || client_->bytesToWrite() <= maxQueuedBytes / 2;
    const bool upstreamCaughtUp = upstreamGone_ || upstream_.bytesToWrite() <= maxQueuedBytes / 2;
    if (clientBehind) upstreamGate_.close();
    else if (clientCaughtUp) upstreamGate_.open();
    if (upstreamOpen_) {
        if (upstreamBehind) clientGate_.close();
        else if (upstreamCaughtUp) clientGate_.open();
    }
    const bool held = upstreamGate_.isClosed() || (upstreamOpen_ && clientGate_.isClosed());
    if (!held) {
        watch_.stop();
        behindSince_.invalidate();
        return;
    }
    if (!watch_.isActive()) watch_.start();
    if (!behindSince_.isValid()) behindSince_.start();
    if (behindSince_.elapsed() > stallMs) {
        log(std::string("dropped: the ") + (clientBehind ? "client" : "provider") + " did not read what was sent");
        watch_.stop();
        if (!clientGone_) client_->abort();
        if (!upstreamGone_) upstream_.abort();
    }
}

void RealtimeRelay::upstreamConnected()
{
    connectTimer_.stop();
    upstreamOpen_ = true;
    // The provider's TCP (or TLS) socket beneath its WebSocket: what the gate holds back.
    upstreamGate_.attach(upstream_.findChild<QAbstractSocket*>());
    if (!upstreamGate_.attached()) log("cannot hold back the provider's socket: a slow client may cost memory");
    log("connected to the provider");
    for (const Frame& frame : early_) toUpstream(frame.data, frame.binary);
    early_.clear();
    early_.shrink_to_fit();
    if (clientGone_) {
        upstream_.close(QWebSocketProtocol::CloseCodeNormal);
        return;
    }
    balance();
}

void RealtimeRelay::upstreamEnded()
{
    if (upstreamGone_) return;
    upstreamGone_ = true;
    connectTimer_.stop();
    upstreamGate_.open();
    clientGate_.open();
    if (!upstreamOpen_) {
        const bool unreachable = upstream_.error() == QAbstractSocket::ConnectionRefusedError ||
                                 upstream_.error() == QAbstractSocket::HostNotFoundError ||
                                 upstream_.error() == QAbstractSocket::SocketTimeoutError ||
                                 upstream_.error() == QAbstractSocket::NetworkError;
        log("the provider did not open the session: " + upstream_.errorString().toStdString());
        if (!clientGone_)
            client_->close(QWebSocketProtocol::CloseCodeBadOperation,
                           unreachable ? "the speech provider cannot be reached" : "the speech provider refused the session");
    } else {
        const int code = int(upstream_.closeCode());
        log("the provider closed the session (" + std::to_string(code) + ")");
        if (!clientGone_) {
            if (code == QWebSocketProtocol::CloseCodeAbnormalDisconnection)
                client_->abort(); // no close frame came: none goes on either
            else
                client_->close(QWebSocketProtocol::CloseCode(sendableCloseCode(code)), upstream_.closeReason());
        }
    }
    finishWhenDone();
}

void RealtimeRelay::clientEnded()
{
    if (clientGone_) return;
    clientGone_ = true;
    upstreamGate_.open();
    clientGate_.open();
    const int code = int(client_->closeCode());
    log("the client closed the session (" + std::to_string(code) + ")");
    if (!upstreamGone_) {
        if (!upstreamOpen_)
            upstream_.abort();
        else if (code == QWebSocketProtocol::CloseCodeAbnormalDisconnection)
            upstream_.abort();
        else
            upstream_.close(QWebSocketProtocol::CloseCode(sendableCloseCode(code)), client_->closeReason());
    }
    finishWhenDone();
}

void RealtimeRelay::finishWhenDone()
{
    if (clientGone_ && upstreamGone_) {
        watch_.stop();
        graceTimer_.stop();
        deleteLater();
    } else if (!graceTimer_.isActive()) {
        graceTimer_.start(closeGraceMs);
    }
}

} // namespace twk::server
