#pragma once

#include "platform/linux/qt_network_thread.h"
#include "platform/websocket.h"

#include <memory>

namespace twk {

/// A WebSocket client on Qt WebSockets. The QWebSocket lives on the network
/// thread, where its handlers run; sends from other threads are queued
/// onto that thread, since QWebSocket itself is not thread-safe.
class QtWebSocket : public WebSocket {
public:
    explicit QtWebSocket(std::shared_ptr<QtNetworkThread> thread);
    /// Closes the connection as "going away" when it is still open.
    ~QtWebSocket() override;

    void open(WebSocketRequest request, WebSocketHandlers handlers) override;
    void sendText(std::string text) override;
    void close(int code, std::string reason = {}) override;

    struct Connection;

private:
    std::shared_ptr<QtNetworkThread> thread_;
    std::shared_ptr<Connection> connection_;
};

/// Makes `QtWebSocket`s on one network thread, which it owns and stops when
/// it goes; build it on the main thread.
class QtWebSocketFactory : public WebSocketFactory {
public:
    QtWebSocketFactory();
    ~QtWebSocketFactory() override;

    std::shared_ptr<WebSocket> makeWebSocket() override;

private:
    std::shared_ptr<QtNetworkThread> thread_;
};

} // namespace twk
