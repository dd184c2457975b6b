#pragma once

#include "platform/websocket_listener.h"

#include <memory>

class QWebSocketServer;

namespace twk {

/// A WebSocket server on Qt WebSockets, living on the main thread (its
/// traffic is a few small messages; nothing here may block). The Origin
/// check runs before the upgrade, so a refused page gets 403 and never a
/// socket.
class QtWebSocketListener : public WebSocketListener {
public:
    QtWebSocketListener();
    ~QtWebSocketListener() override;

    VoidResult listen(const ListenerOptions& options,
                      std::function<void(std::shared_ptr<ListenerConnection>)> onConnection) override;

private:
    std::unique_ptr<QWebSocketServer> server_;
};

} // namespace twk
