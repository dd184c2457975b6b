#pragma once

#include "app/app_state.h"
#include "app/session_control.h"
#include "backend/backend.h"
#include "common/cancellation_token.h"
#include "common/main_loop.h"
#include "tools/tool_dispatcher.h"
#include "voice/audio_service.h"
#include "voice/realtime_client.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// One voice conversation, from switch-on to switch-off: gets a credential,
/// connects a realtime client, wires microphone and speaker to it, turns its
/// events into state, runs tool calls, and keeps the conversation alive
/// (microphone muted while the assistant speaks, return to listening, stuck
/// recovery, reconnects). Main thread only, except the capture callback,
/// which reads `botSpeaking` on the capture thread.
///
/// Beyond the basic rules:
/// - a credential that arrives after a stop (or after a stop and a new start)
///   is dropped, so at most one connection is ever set up;
/// - a delayed reconnect attempt releases the `reconnecting` mark when it
///   starts, so a new connection that fails before any event still counts
///   towards the limit of 4 and the session ends after the fourth failure;
/// - a fatal error leaves its message visible (status `error`) after the
///   session has stopped, until the next switch-on;
/// - events and tool results that belong to a connection already dropped
///   are ignored.
class Session : public SessionControl, public std::enable_shared_from_this<Session> {
public:
    using ClientFactory = std::function<std::shared_ptr<RealtimeClient>(
        std::string instructions, nlohmann::json tools, std::string voice, std::vector<std::string> modalities)>;

    struct Services {
        MainLoop& loop;
        AppState& state;
        Backend& backend;
        AudioService& audio;
        ToolDispatcher& tools;
        CancellationToken& cancellation;
        ClientFactory makeClient;
    };

    static constexpr Duration stuckTimeout = std::chrono::seconds(75);
    static constexpr Duration watchdogInterval = std::chrono::seconds(5);
    static constexpr Duration listenDebounceDelay = std::chrono::seconds(1);
    static constexpr int maxReconnectAttempts = 4;

    static std::shared_ptr<Session> create(Services services);
    ~Session() override;

    void start() override;
    void stop() override;

    /// Work on the user's behalf moved on (an agent round): the watchdog
    /// starts counting again.
    void noteProgress() { lastProgressAt_ = s_.loop.now(); }

    bool botSpeaking() const { return botSpeaking_->load(std::memory_order_relaxed); }
    bool responseActive() const { return responseActive_; }
    int reconnectAttempts() const { return reconnectAttempts_; }
    bool hasClient() const { return client_ != nullptr; }
    /// Usage reports, and the status refreshes that follow them, still on
    /// their way (a quitting program waits for them).
    int pendingUsageReports() const { return pendingUsageReports_; }

private:
    explicit Session(Services services);

    static Task<void> connectFresh(std::weak_ptr<Session> weak, uint64_t generation);
    static Task<void> dispatch(std::weak_ptr<Session> weak, std::weak_ptr<RealtimeClient> client,
                               realtime::ToolCall call);
    static Task<void> reportUsage(std::weak_ptr<Session> weak, Backend& backend, AppState& state, double seconds);

    void connectWith(const SessionMint& mint);
    void handle(const std::shared_ptr<RealtimeClient>& source, const realtime::Event& event);
    void handleError(const realtime::State& error);
    void handleToolCall(const realtime::ToolCall& call);
    void handleResponseDone();
    void handleUserSpeech();
    void enterWorking();
    void settleToListeningSoon();
    void startWatchdog();
    void checkStuck();
    void reconnect();
    void endSession(std::optional<std::string> fatalError);
    void reportUsageSince(std::optional<TimePoint> connectedAt);
    void setBotSpeaking(bool on) { botSpeaking_->store(on, std::memory_order_relaxed); }
    void dropClient();

    Services s_;
    std::shared_ptr<RealtimeClient> client_;
    // Shared with the capture callback, which reads it on the capture thread.
    std::shared_ptr<std::atomic<bool>> botSpeaking_ = std::make_shared<std::atomic<bool>>(false);
    bool responseActive_ = false;
    bool stopRequested_ = false;
    std::optional<TimerHandle> listenDebounce_;
    std::optional<TimePoint> connectedAt_;
    std::optional<TimerHandle> watchdog_;
    TimePoint lastProgressAt_{};
    int reconnectAttempts_ = 0;
    bool reconnecting_ = false;    // a reconnect is under way: further drops do not start another
    bool awaitingFirstEvent_ = false; // since a reconnect: the next event proves the new connection
    bool connecting_ = false;      // a credential request is on its way
    uint64_t generation_ = 0;      // bumped by start and stop: stale credentials are dropped
    int pendingUsageReports_ = 0;
};

} // namespace twk
