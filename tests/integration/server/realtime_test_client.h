#pragma once

#include <nlohmann/json.hpp>

#include <QWebSocket>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace twk::test {

/// Runs the Qt event loop until `done` or the timeout; returns `done()`.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

/// A WebSocket client of the realtime endpoint that keeps every event it receives.
class RealtimeTestClient {
public:
    RealtimeTestClient();

    /// Opens ws://…/v1/realtime?model=… with the secret as bearer credential;
    /// true once connected.
    bool open(const std::string& realtimeOrigin, const std::string& secret, const std::string& model = "tarnwick-local");
    void send(const nlohmann::json& message);
    void sendText(const std::string& text);
    /// Appends PCM16 audio in chunks of `chunkMs`, as a microphone would.
    void sendAudio(const std::string& pcm, int chunkMs = 100);

    /// Waits for the first event of that type received after the `from`-th.
    std::optional<nlohmann::json> waitFor(const std::string& type, size_t from = 0,
                                          std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::vector<std::string> typesFrom(size_t from = 0) const;
    const std::vector<nlohmann::json>& events() const { return events_; }
    bool waitForDisconnect(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    int closeCode() const { return int(socket_.closeCode()); }
    bool isConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

private:
    QWebSocket socket_;
    std::vector<nlohmann::json> events_;
    bool disconnected_ = false;
    bool failed_ = false;
};

} // namespace twk::test
