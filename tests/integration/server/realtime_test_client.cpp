#include "integration/server/realtime_test_client.h"

#include <QEventLoop>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace twk::test {

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || std::chrono::steady_clock::now() >= deadline) loop.quit();
    });
    tick.start(5);
    if (!done()) loop.exec();
    return done();
}

RealtimeTestClient::RealtimeTestClient()
{
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString& text) {
        events_.push_back(nlohmann::json::parse(text.toStdString(), nullptr, false));
    });
    QObject::connect(&socket_, &QWebSocket::disconnected, [this] { disconnected_ = true; });
    // A refused handshake reports an error and may never have been connected.
    QObject::connect(&socket_, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error),
                     [this](QAbstractSocket::SocketError) { failed_ = true; });
}

bool RealtimeTestClient::open(const std::string& realtimeOrigin, const std::string& secret, const std::string& model)
{
    QNetworkRequest request(QUrl(QString::fromStdString(realtimeOrigin + "/v1/realtime?model=" + model)));
    request.setRawHeader("Authorization", QByteArray::fromStdString("Bearer " + secret));
    socket_.open(request);
    return spinUntil([this] { return isConnected() || disconnected_ || failed_; }) && isConnected();
}

void RealtimeTestClient::send(const nlohmann::json& message) { sendText(message.dump()); }

void RealtimeTestClient::sendText(const std::string& text) { socket_.sendTextMessage(QString::fromStdString(text)); }

void RealtimeTestClient::sendAudio(const std::string& pcm, int chunkMs)
{
    const size_t chunk = size_t(chunkMs) * 48;
    for (size_t at = 0; at < pcm.size(); at += chunk) {
        const QByteArray bytes(pcm.data() + at, qsizetype(std::min(chunk, pcm.size() - at)));
        send({{"type", "input_audio_buffer.append"}, {"audio", bytes.toBase64().toStdString()}});
    }
}

std::optional<nlohmann::json> RealtimeTestClient::waitFor(const std::string& type, size_t from,
                                                          std::chrono::milliseconds timeout)
{
    std::optional<nlohmann::json> found;
    spinUntil(
        [&] {
            for (size_t i = from; i < events_.size() && !found; ++i)
                if (events_[i].is_object() && events_[i].value("type", "") == type) found = events_[i];
            return found.has_value();
        },
        timeout);
    return found;
}

std::vector<std::string> RealtimeTestClient::typesFrom(size_t from) const
{
    std::vector<std::string> types;
    for (size_t i = from; i < events_.size(); ++i) types.push_back(events_[i].value("type", "?"));
    return types;
}

bool RealtimeTestClient::waitForDisconnect(std::chrono::milliseconds timeout)
{
    return spinUntil([this] { return disconnected_; }, timeout);
}

} // namespace twk::test
