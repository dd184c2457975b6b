#include "voice/session.h"

#include "common/log.h"
#include "common/text_case.h"

#include <algorithm>
#include <cmath>

namespace twk {
namespace {

constexpr const char* reconnectingActivity = "reconnecting…";

std::string quotaMessage(double remainingSeconds)
{
    const auto minutes = static_cast<long long>(std::trunc(remainingSeconds / 60));
    return minutes < 1 ? "out of minutes" : "quota: " + std::to_string(minutes) + "m left";
}

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

} // namespace

std::shared_ptr<Session> Session::create(Services services)
{
    return std::shared_ptr<Session>(new Session(std::move(services)));
}

Session::Session(Services services) : s_(std::move(services)) {}

Session::~Session()
{
    if (watchdog_) watchdog_->invalidate();
    if (listenDebounce_) listenDebounce_->invalidate();
    s_.audio.setOnAudioIn({});
    s_.audio.onPlaybackDrained = {};
    if (client_) client_->close();
}

void Session::start()
{
    if (client_ || connecting_) return;
    reconnectAttempts_ = 0;
    reconnecting_ = false;
    s_.state.status.set(SessionStatus::connecting());
    connecting_ = true;
    spawn(s_.loop, connectFresh(weak_from_this(), ++generation_));
}

Task<void> Session::connectFresh(std::weak_ptr<Session> weak, uint64_t generation)
{
    auto self = weak.lock();
    if (!self) co_return;
    Backend& backend = self->s_.backend;
    self.reset(); // not kept alive while the request is out

    std::optional<SessionMint> mint;
    std::optional<QuotaError> quota;
    std::string failure;
    try {
        mint = co_await backend.mintSession();
    } catch (const QuotaError& refusal) {
        quota = refusal;
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown error";
    }

    self = weak.lock();
    // Stopped (or stopped and started again) meanwhile: this credential is stale.
    if (!self || self->generation_ != generation) co_return;
    self->connecting_ = false;
    AppState& state = self->s_.state;
    if (mint) {
        if (!state.isEnabled()) co_return; // switched off meanwhile
        state.remainingSeconds.set(mint->remainingSeconds);
        state.plan.set(mint->plan);
        self->connectWith(*mint);
    } else if (quota) {
        const double remaining = quota->remainingSeconds.value_or(0);
        state.remainingSeconds.set(remaining);
        if (quota->plan) state.plan.set(*quota->plan);
        self->endSession(quotaMessage(remaining));
    } else {
        logLine("[twk/session] credential request to " + backend.baseURL() + " failed: " +
                (failure.empty() ? std::string("no reason given") : failure));
        self->endSession("connect failed");
    }
}

void Session::connectWith(const SessionMint& mint)
{
    AppState& state = s_.state;
    const Verbosity verbosity = state.verbosity();
    std::vector<std::string> modalities{verbosity == Verbosity::silent ? "text" : "audio"};
    auto client = s_.makeClient(s_.tools.systemPrompt(verbosity), ToolDispatcher::schema(), state.voice(),
                                std::move(modalities));
    state.startSessionTick();
    startWatchdog();
    client_ = client;
    connectedAt_ = s_.loop.now();

    std::weak_ptr<Session> weak = weak_from_this();
    std::weak_ptr<RealtimeClient> weakClient = client;
    client->onEvent = [weak, weakClient, &loop = s_.loop](realtime::Event event) {
        // One main-loop task per event, in arrival order.
        loop.post([weak, weakClient, event = std::move(event)] {
            auto self = weak.lock();
            auto source = weakClient.lock();
            if (self && source) self->handle(source, event);
        });
    };
    // The microphone mute: chunks captured while the assistant speaks are dropped.
    s_.audio.setOnAudioIn([speaking = botSpeaking_, weakClient](AudioService::Bytes chunk) {
        auto target = weakClient.lock();
        if (target && !speaking->load(std::memory_order_relaxed)) target->send(chunk);
    });
    s_.audio.onPlaybackDrained = [weak] {
        auto self = weak.lock();
        if (!self || self->responseActive_) return; // still answering: stay muted
        self->setBotSpeaking(false);
        logLine("[twk/session] playback drained — mic unmuted");
    };
    try {
        s_.audio.startCapture();
    } catch (const std::exception& e) {
        logLine(std::string("[twk/session] capture failed: ") + e.what());
        return endSession("mic failed");
    }
    client->connect(mint.clientSecret, mint.model);
}

void Session::handle(const std::shared_ptr<RealtimeClient>& source, const realtime::Event& event)
{
    if (source != client_) return; // from a connection already dropped
    AppState& state = s_.state;
    if (!std::holds_alternative<realtime::State>(event)) {
        // Any event from the server proves the connection works.
        reconnectAttempts_ = 0;
        reconnecting_ = false;
        if (awaitingFirstEvent_) {
            awaitingFirstEvent_ = false;
            if (state.activity() == reconnectingActivity) state.activity.set("");
        }
    }
    std::visit(Overloaded{
                   [&](const realtime::State& e) {
                       if (e.status.kind == SessionStatus::Kind::error)
                           handleError(e);
                       else
                           state.status.set(e.status);
                   },
                   [&](const realtime::Transcript& e) {
                       (e.role == realtime::Role::user ? state.lastUserUtterance : state.lastAssistantUtterance)
                           .set(e.text);
                   },
                   [&](const realtime::ToolCall& e) { handleToolCall(e); },
                   [&](const realtime::AudioDelta& e) { s_.audio.play(e.bytes); },
                   [&](const realtime::ResponseStarted&) {
                       setBotSpeaking(true);
                       responseActive_ = true;
                       lastProgressAt_ = s_.loop.now();
                       logLine("[twk/session] response started (mic muted)");
                       enterWorking();
                   },
                   [&](const realtime::ResponseDone&) { handleResponseDone(); },
                   [&](const realtime::UserSpeechStarted&) { handleUserSpeech(); },
               },
               event);
}

void Session::handleError(const realtime::State& error)
{
    const bool connectionError = error.cause == realtime::ErrorCause::connection;
    if (connectionError && s_.state.isEnabled() && reconnectAttempts_ < maxReconnectAttempts) return reconnect();
    endSession(error.status.message);
}

void Session::handleToolCall(const realtime::ToolCall& call)
{
    logLine("[twk/session] toolCall name=" + call.name + " callId=" + call.callId + " args=" + call.argsJson);
    enterWorking();
    lastProgressAt_ = s_.loop.now();
    s_.state.setActivity(ToolDispatcher::activityLabel(call.name, call.argsJson));
    spawn(s_.loop, dispatch(weak_from_this(), client_, call));
}

Task<void> Session::dispatch(std::weak_ptr<Session> weak, std::weak_ptr<RealtimeClient> client,
                             realtime::ToolCall call)
{
    auto self = weak.lock();
    if (!self) co_return;
    ToolDispatcher& tools = self->s_.tools;
    self.reset();
    logLine("[twk/session] dispatching " + call.name);
    const ToolDispatcher::Result result = co_await tools.run(call.name, call.argsJson);

    self = weak.lock();
    if (!self) co_return;
    logLine("[twk/session] " + call.name + " returned");
    // After a stop, exactly one further result (the interrupted task's) goes back silently.
    bool askForResponse = true;
    if (call.name == "stop") {
        self->stopRequested_ = true;
    } else if (self->stopRequested_) {
        self->stopRequested_ = false;
        askForResponse = false;
    }
    const auto target = client.lock();
    if (!target || target != self->client_) co_return; // stopped or reconnecting: dropped
    std::optional<std::string> image;
    if (result.kind == ToolDispatcher::Result::Kind::image) image = result.base64PNG;
    target->sendToolResult(call.callId, result.text, image, askForResponse);
}

void Session::handleResponseDone()
{
    responseActive_ = false;
    logLine("[twk/session] response done");
    settleToListeningSoon();
    if (s_.audio.pendingPlaybackBuffers() < 1) {
        setBotSpeaking(false);
        logLine("[twk/session] mic unmuted (no pending audio)");
    }
    if (s_.state.agentStepCount() == 0) s_.state.activity.set("");
}

void Session::handleUserSpeech()
{
    logLine(std::string("[twk/session] speech_started while botSpeaking=") + (botSpeaking() ? "true" : "false"));
    stopRequested_ = false;
    if (botSpeaking()) return; // the assistant hearing its own voice
    s_.audio.stopPlayback();
    if (client_) client_->cancelResponse();
}

void Session::enterWorking()
{
    if (listenDebounce_) {
        listenDebounce_->invalidate();
        listenDebounce_.reset();
    }
    if (s_.state.status() != SessionStatus::acting()) s_.state.status.set(SessionStatus::acting());
}

void Session::settleToListeningSoon()
{
    if (listenDebounce_) listenDebounce_->invalidate();
    listenDebounce_ = s_.loop.after(listenDebounceDelay, [weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self) return;
        if (!self->responseActive_ && self->s_.state.agentStepCount() == 0)
            self->s_.state.status.set(SessionStatus::listening());
    });
}

void Session::startWatchdog()
{
    if (watchdog_) watchdog_->invalidate();
    lastProgressAt_ = s_.loop.now();
    watchdog_ = s_.loop.every(watchdogInterval, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->checkStuck();
    });
}

void Session::checkStuck()
{
    AppState& state = s_.state;
    if (state.status() != SessionStatus::acting() || s_.loop.now() - lastProgressAt_ <= stuckTimeout) return;
    logLine("[twk/session] watchdog: stuck in acting — recovering");
    s_.cancellation.cancel();
    state.taskSteps.set({});
    state.currentStepIndex.set(0);
    state.agentStepCount.set(0);
    state.agentLastStep.set("");
    state.activity.set("");
    setBotSpeaking(false);
    responseActive_ = false;
    state.status.set(SessionStatus::listening());
}

void Session::reconnect()
{
    if (reconnecting_) return;
    reconnecting_ = true;
    awaitingFirstEvent_ = true;
    ++reconnectAttempts_;
    logLine("[twk/session] reconnecting (attempt " + std::to_string(reconnectAttempts_) + "/" +
            std::to_string(maxReconnectAttempts) + ")");
    reportUsageSince(std::exchange(connectedAt_, std::nullopt));
    dropClient(); // capture keeps running; its chunks go nowhere until the next client
    setBotSpeaking(false);
    responseActive_ = false;
    s_.state.status.set(SessionStatus::connecting());
    s_.state.activity.set(reconnectingActivity);
    const auto delay = std::chrono::seconds(std::min(reconnectAttempts_, maxReconnectAttempts));
    s_.loop.after(delay, [weak = weak_from_this(), generation = generation_] {
        auto self = weak.lock();
        if (!self || self->generation_ != generation || !self->s_.state.isEnabled()) return;
        // Released here, so that a new connection that fails before its first
        // event still reaches reconnect() and counts towards the limit.
        self->reconnecting_ = false;
        self->connecting_ = true;
        spawn(self->s_.loop, connectFresh(weak, generation));
    });
}

void Session::stop()
{
    // A task the agent is carrying out stops with the session that asked for it.
    s_.cancellation.cancel();
    endSession(std::nullopt);
}

void Session::endSession(std::optional<std::string> fatalError)
{
    AppState& state = s_.state;
    if (fatalError) {
        // The message stays visible after the stop, until the next switch-on.
        state.status.set(SessionStatus::error(*fatalError));
        state.isEnabled.set(false);
    }
    ++generation_; // a credential still on its way is dropped when it arrives
    connecting_ = false;
    const auto connectedAt = std::exchange(connectedAt_, std::nullopt);
    s_.audio.stopCapture();
    s_.audio.setOnAudioIn({});
    s_.audio.stopPlayback();
    dropClient();
    if (watchdog_) watchdog_->invalidate();
    watchdog_.reset();
    if (listenDebounce_) listenDebounce_->invalidate();
    listenDebounce_.reset();
    // A new session must not start with the microphone muted by this one.
    setBotSpeaking(false);
    responseActive_ = false;
    if (!fatalError) state.status.set(SessionStatus::off());
    if (state.sessionTickTimer) state.sessionTickTimer->invalidate();
    state.sessionTickTimer.reset();
    reportUsageSince(connectedAt);
}

void Session::dropClient()
{
    if (!client_) return;
    client_->close();
    client_.reset();
}

void Session::reportUsageSince(std::optional<TimePoint> connectedAt)
{
    if (!connectedAt) return;
    const double elapsed = std::chrono::duration<double>(s_.loop.now() - *connectedAt).count();
    if (elapsed <= 0) return;
    ++pendingUsageReports_;
    spawn(s_.loop, reportUsage(weak_from_this(), s_.backend, s_.state, elapsed));
}

Task<void> Session::reportUsage(std::weak_ptr<Session> weak, Backend& backend, AppState& state, double seconds)
{
    co_await backend.trackUsage(seconds);
    co_await state.refreshStatusAndWait();
    if (auto self = weak.lock()) --self->pendingUsageReports_;
}

} // namespace twk
