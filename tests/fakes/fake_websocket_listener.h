#pragma once

#include "platform/websocket_listener.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk::test {

/// One accepted connection that the test drives: it records what was sent
/// and plays the peer's events.
class FakeListenerConnection : public ListenerConnection {
public:
    void start(ListenerConnectionHandlers h) override { handlers = std::move(h); }
    void sendText(std::string text, std::function<void(std::optional<std::string>)> sent) override
    {
        sentTexts.push_back(text);
        if (sent) sent(sendFailure);
        if (onSent) onSent(nlohmann::json::parse(text));
    }
    void cancel() override
    {
        ++cancels;
        if (handlers.onCancelled) handlers.onCancelled();
    }

    void ready() { handlers.onReady(); }
    void receive(const std::string& bytes) { handlers.onMessage(bytes); }
    void fail(const std::string& why) { handlers.onFailed(why); }

    ListenerConnectionHandlers handlers;
    std::vector<std::string> sentTexts;
    std::optional<std::string> sendFailure;
    /// Lets a test answer each request as it goes out.
    std::function<void(const nlohmann::json& request)> onSent;
    int cancels = 0;
};

/// A listener that accepts the connections the test hands it.
class FakeWebSocketListener : public WebSocketListener {
public:
    VoidResult listen(const ListenerOptions& o,
                      std::function<void(std::shared_ptr<ListenerConnection>)> accept) override
    {
        ++listens;
        if (failure) return Error("twk.network", -1, *failure);
        options = o;
        onConnection = std::move(accept);
        return Unit{};
    }

    /// A new extension connects; its handshake is over.
    std::shared_ptr<FakeListenerConnection> connect()
    {
        auto connection = std::make_shared<FakeListenerConnection>();
        onConnection(connection);
        connection->ready();
        return connection;
    }

    ListenerOptions options;
    std::function<void(std::shared_ptr<ListenerConnection>)> onConnection;
    std::optional<std::string> failure;
    int listens = 0;
};

} // namespace twk::test
