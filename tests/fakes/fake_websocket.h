#pragma once

#include "platform/websocket.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace twk::test {

/// A connection the test drives: it records what the client opened, sent
/// and closed, and delivers server messages and failures on the test's thread.
class FakeWebSocket : public WebSocket {
public:
    void open(WebSocketRequest r, WebSocketHandlers h) override
    {
        {
            std::lock_guard lock(mutex_);
            ++opens;
            request = std::move(r);
            handlers = std::move(h);
        }
        if (whileOpening) whileOpening();
    }
    void sendText(std::string text) override
    {
        std::lock_guard lock(mutex_);
        if (!closeCodes.empty()) return;
        sent.push_back(std::move(text));
    }
    void close(int code, std::string) override
    {
        std::lock_guard lock(mutex_);
        closeCodes.push_back(code);
    }

    void receiveText(std::string_view text) { handlers.onText(text); }
    void receiveBinary(std::string_view bytes)
    {
        handlers.onBinary(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
    void receive(const nlohmann::json& message) { receiveText(message.dump()); }
    void drop(const std::string& description) { handlers.onFailure(description); }

    /// Sent messages as JSON, oldest first.
    std::vector<nlohmann::json> sentJson() const
    {
        std::lock_guard lock(mutex_);
        std::vector<nlohmann::json> out;
        for (const auto& text : sent) out.push_back(nlohmann::json::parse(text));
        return out;
    }
    /// The "type" of each sent message, oldest first.
    std::vector<std::string> sentTypes() const
    {
        std::vector<std::string> out;
        for (const auto& message : sentJson()) out.push_back(message.value("type", ""));
        return out;
    }
    void clearSent()
    {
        std::lock_guard lock(mutex_);
        sent.clear();
    }

    /// Runs inside `open`, as another thread's work might while it opens.
    std::function<void()> whileOpening;
    int opens = 0;
    WebSocketRequest request;
    WebSocketHandlers handlers;
    std::vector<std::string> sent;
    std::vector<int> closeCodes;

private:
    mutable std::mutex mutex_;
};

class FakeWebSocketFactory : public WebSocketFactory {
public:
    std::shared_ptr<WebSocket> makeWebSocket() override
    {
        made.push_back(std::make_shared<FakeWebSocket>());
        made.back()->whileOpening = whileOpening;
        return made.back();
    }
    FakeWebSocket& last() { return *made.back(); }

    /// Given to each socket made from now on.
    std::function<void()> whileOpening;
    std::vector<std::shared_ptr<FakeWebSocket>> made;
};

} // namespace twk::test
