#pragma once

#include "common/main_loop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace twk {

/// What to open: a ws:// or wss:// URL and the extra handshake headers.
struct WebSocketRequest {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    /// The handshake fails when the socket is not open by then.
    Duration openTimeout = seconds(60);
};

/// Callbacks of one connection. They run on the socket's network thread, one
/// at a time, in the order things happened on the wire.
struct WebSocketHandlers {
    std::function<void(std::string_view text)> onText;
    std::function<void(std::span<const std::uint8_t> data)> onBinary;
    /// The connection could not be opened, dropped, or was closed by the
    /// peer. Called at most once and never after `close`; nothing is
    /// received after it.
    std::function<void(const std::string& description)> onFailure;
    /// One message given to `sendText` could not be sent.
    std::function<void(const std::string& description)> onSendError;
};

/// A WebSocket client connection. `sendText` and `close` may be called from
/// any thread.
class WebSocket {
public:
    virtual ~WebSocket() = default;

    /// Starts the handshake. Call once.
    virtual void open(WebSocketRequest request, WebSocketHandlers handlers) = 0;
    /// Sends one text frame. Messages sent before the socket is open are
    /// kept and go out, in order, once it is; messages sent after `close`
    /// are dropped.
    virtual void sendText(std::string text) = 0;
    /// Closes the connection with `code` after what was already sent.
    virtual void close(int code, std::string reason = {}) = 0;
};

/// Makes connections; a client is given one so that tests can hand it their own.
class WebSocketFactory {
public:
    virtual ~WebSocketFactory() = default;
    virtual std::shared_ptr<WebSocket> makeWebSocket() = 0;
};

} // namespace twk
