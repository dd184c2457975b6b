#pragma once

#include "bridge/extension_origin.h"
#include "common/expected.h"
#include "common/main_loop.h"
#include "common/task.h"
#include "platform/websocket_listener.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace twk {

/// The WebSocket server the companion browser extension connects to. Web
/// tasks go to the extension as {"id","method","params"} requests; its
/// {"id","result"} or {"id","error"} answers complete them. At most one
/// extension is connected: the newest wins. Main thread only.
///
/// Every request completes exactly once, by whichever comes first: its
/// answer, a send failure, its timeout, or the connection going away
/// (also when a newer connection replaces it). Events of a connection that
/// was replaced are ignored.
class ChromeBridge {
public:
    static constexpr std::uint16_t port = 28371;
    static constexpr std::size_t maxMessageBytes = 16u << 20;

    ChromeBridge(MainLoop& loop, WebSocketListener& listener, ExtensionOriginPolicy origins,
                 std::uint16_t listenPort = port);
    ~ChromeBridge();
    ChromeBridge(const ChromeBridge&) = delete;
    ChromeBridge& operator=(const ChromeBridge&) = delete;

    /// Starts listening on loopback; later calls do nothing. A failure is
    /// logged and leaves the bridge without a listener for good.
    void start();

    /// Sends one request and waits for its answer: the answer's `result` as
    /// compact JSON text, or an error in the domain "twk.chrome" (0 not
    /// connected, 1 the extension's error text, 408 timed out, -1 the
    /// extension went away) or the network's error when sending failed.
    Task<Expected<std::string>> request(std::string method, nlohmann::json params, Duration timeout);

    bool isConnected() const { return isConnected_; }
    bool isListening() const { return listening_; }

private:
    using Completion = std::function<void(Expected<std::string>)>;

    void attach(std::shared_ptr<ListenerConnection> connection);
    void handleIncoming(const std::string& bytes);
    void handleDisconnect();
    /// Completes the request `id` with `outcome` if it is still waiting.
    void complete(const std::string& id, Expected<std::string> outcome);

    MainLoop& loop_;
    WebSocketListener& listener_;
    ExtensionOriginPolicy origins_;
    std::uint16_t listenPort_;
    bool started_ = false;
    bool listening_ = false;
    std::shared_ptr<ListenerConnection> connection_;
    // Tells a connection's late events from the current one's.
    std::uint64_t generation_ = 0;
    bool isConnected_ = false;
    std::map<std::string, Completion> pending_;
    // Callbacks that outlive the bridge check this first.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace twk
