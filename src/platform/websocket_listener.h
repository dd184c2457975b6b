#pragma once

#include "common/expected.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace twk {

/// Callbacks of one accepted connection; they run on the main thread.
struct ListenerConnectionHandlers {
    /// The connection can carry messages.
    std::function<void()> onReady;
    /// One complete message, text or binary, as its bytes.
    std::function<void(std::string bytes)> onMessage;
    /// The connection broke (a network error, the peer went away).
    std::function<void(const std::string& description)> onFailed;
    /// The connection ended because `cancel` was called.
    std::function<void()> onCancelled;
};

/// One connection accepted by a `WebSocketListener`. Main thread only.
class ListenerConnection {
public:
    virtual ~ListenerConnection() = default;

    /// Starts delivering events. Call once.
    virtual void start(ListenerConnectionHandlers handlers) = 0;
    /// Sends one complete text message; `sent` runs on the main thread with
    /// the error description when it could not be sent, or nothing.
    virtual void sendText(std::string text, std::function<void(std::optional<std::string> error)> sent) = 0;
    /// Closes the connection; `onCancelled` follows.
    virtual void cancel() = 0;
};

/// What a listener accepts.
struct ListenerOptions {
    std::uint16_t port = 0;
    /// Loopback only, or every interface.
    bool loopbackOnly = true;
    std::size_t maxMessageBytes = 16u << 20;
    /// Called with the handshake's Origin header ("" when the client sent
    /// none); false refuses the upgrade with 403.
    std::function<bool(const std::string& origin)> acceptOrigin;
};

/// A WebSocket server on a TCP port. Main thread only.
class WebSocketListener {
public:
    virtual ~WebSocketListener() = default;

    /// Starts listening; accepted connections go to `onConnection`, on the
    /// main thread. Fails with the system's description (port in use...).
    virtual VoidResult listen(const ListenerOptions& options,
                              std::function<void(std::shared_ptr<ListenerConnection>)> onConnection) = 0;
};

} // namespace twk
