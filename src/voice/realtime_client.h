#pragma once

#include "platform/websocket.h"
#include "voice/realtime_event.h"
#include "voice/realtime_messages.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace twk {

/// One voice session's connection to the realtime speech service: configures
/// the session, streams microphone audio up, turns the server's events into
/// `Event`s, returns tool results and asks for responses, one at a time.
///
/// Sends may come from any thread. Server messages are handled on the
/// socket's network thread, one at a time, and `onEvent` runs there; the
/// consumer moves to its own thread. A client connects once; a new session
/// builds a new client.
class RealtimeClient : public std::enable_shared_from_this<RealtimeClient> {
public:
    using Event = realtime::Event;
    using Role = realtime::Role;

    /// `realtimeOrigin` is the service's "ws(s)://host[:port]"; `tools` a
    /// JSON array of function tool objects. `sockets` must outlive the client.
    static std::shared_ptr<RealtimeClient> create(WebSocketFactory& sockets, std::string realtimeOrigin,
                                                  std::string instructions, nlohmann::json tools, std::string voice,
                                                  std::vector<std::string> modalities);
    ~RealtimeClient();
    RealtimeClient(const RealtimeClient&) = delete;
    RealtimeClient& operator=(const RealtimeClient&) = delete;

    /// Set before `connect`. `State{listening}` is delivered on the thread
    /// that calls `connect`, everything else on the network thread.
    std::function<void(Event)> onEvent;

    /// Opens the socket with the short-lived `clientSecret` and configures
    /// the session. Does nothing while a socket is open.
    void connect(const std::string& clientSecret, const std::string& model);
    /// Appends one chunk of 24 kHz mono Int16 microphone audio (dropped
    /// until `connect` has queued the session's configuration).
    void send(std::span<const std::uint8_t> audio);
    /// Returns a tool's result, with an optional Base64 PNG the model sees
    /// right after it; with `triggerResponse`, asks for the next response
    /// now or, while one is in flight, once it is done.
    void sendToolResult(const std::string& callId, const std::string& output,
                        const std::optional<std::string>& imageBase64, bool triggerResponse);
    /// Stops the response in flight; does nothing when there is none.
    void cancelResponse();
    /// Closes the socket as "going away" (1001); later sends are dropped.
    void close();

private:
    RealtimeClient(WebSocketFactory& sockets, std::string realtimeOrigin, realtime::SessionConfig config);

    WebSocketHandlers makeHandlers();
    void handleMessage(std::string_view text);
    void handleAudioDelta(const nlohmann::json& message);
    void deliverAudio(std::vector<std::uint8_t> bytes);
    void handleResponseCreated();
    void handleResponseDone(const nlohmann::json& message);
    void handleError(const nlohmann::json& message);
    void handleFailure(const std::string& description);
    void sendMessage(const nlohmann::json& message);
    void deliver(Event event);

    WebSocketFactory& sockets_;
    const std::string origin_;
    const realtime::SessionConfig config_;

    // Written from the main thread, the capture thread and the network
    // thread: a response request is never lost between the two flags.
    std::mutex mutex_;
    std::shared_ptr<WebSocket> task_;
    bool configured_ = false; // the session.update is queued: audio may follow
    bool responseInFlight_ = false;
    bool pendingResponseCreate_ = false;

    // Network thread only.
    std::int64_t audioDeltaCount_ = 0;
    std::int64_t audioDeltaBytes_ = 0;
};

} // namespace twk
