#include "fakes/fake_websocket_listener.h"
#include "fakes/fake_audio_system.h"
#include "common/worker_pool.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_http_client.h"
#include "fakes/fake_websocket.h"
#include "fakes/fake_workspace.h"
#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"
#include "voice/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

namespace twk {
namespace {

using nlohmann::json;
using test::FakeHttpClient;
using test::FakeWebSocket;

const std::string mintBody =
    R"({"clientSecret":"ek_1","expiresAt":1,"model":"rt-1","plan":"free","remainingSeconds":600,"quotaSeconds":900})";
const std::string statusBody =
    R"({"plan":"free","quotaSeconds":900,"usedSeconds":30,"remainingSeconds":570,"resetAt":0,"linked":false})";

class SessionTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    test::MemorySettings settings;
    FakeHttpClient http;
    Backend backend{http, settings, "http://backend"};
    AppState state{settings, loop, &backend};
    test::FakeAudioSystem audioSystem;
    std::shared_ptr<AudioService> audio;
    test::FakeHost host;
    test::FakeWorkspace workspace;
    CancellationToken cancellation;
    test::FakeMediaKeys mediaKeys;
    Skills skills{{loop, workspace, mediaKeys, host}};
    WorkerPool workers{1};
    test::FakeWebSocketListener bridgeListener;
    ChromeBridge bridge{loop, bridgeListener, ExtensionOriginPolicy()};
    ToolDispatcher tools{{loop, state, cancellation, host, workspace, skills, workers, bridge}};
    test::FakeWebSocketFactory sockets;
    std::shared_ptr<Session> session;
    std::function<Expected<HttpResponse>()> mintAnswer = [] { return FakeHttpClient::reply(200, mintBody); };
    std::mutex logMutex;
    std::vector<std::string> lines;
    LogCapture capture{[this](const std::string& l) {
        std::lock_guard lock(logMutex);
        lines.push_back(l);
    }};

    void SetUp() override
    {
        audioSystem.devices = {{"mic-1", "Microphone"}};
        audioSystem.defaultDevice = audioSystem.devices[0];
        audio = AudioService::create(audioSystem, settings, loop);
        http.respond = [this](const HttpRequest& r) {
            if (r.url.ends_with("/api/realtime/session")) return mintAnswer();
            if (r.url.ends_with("/api/usage/track")) return FakeHttpClient::reply(200, "{}");
            return FakeHttpClient::reply(200, statusBody);
        };
        session = Session::create({loop, state, backend, *audio, tools, cancellation,
                                   [this](std::string instructions, json toolList, std::string voice,
                                          std::vector<std::string> modalities) {
                                       return RealtimeClient::create(sockets, "ws://realtime", std::move(instructions),
                                                                     std::move(toolList), std::move(voice),
                                                                     std::move(modalities));
                                   }});
        state.attachSession(session.get());
    }

    void switchOn()
    {
        state.setEnabled(true);
        loop.runPosted();
    }
    FakeWebSocket& socket() { return sockets.last(); }
    void server(const json& event)
    {
        socket().receive(event);
        loop.runPosted();
    }
    void toolCall(const std::string& name, const std::string& callId, const std::string& args = "{}")
    {
        server({{"type", "response.function_call_arguments.done"}, {"name", name}, {"call_id", callId}, {"arguments", args}});
        loop.runPosted();
    }
    /// Hands one 100 ms buffer of 24 kHz mono speech to the running capture.
    void captureChunk()
    {
        static const std::vector<std::int16_t> frames(2400, 1000);
        audioSystem.captures.back()->deliver({{24000, 1, SampleType::int16}, frames.data(), frames.size()});
    }
    int count(const std::vector<std::string>& types, const std::string& type)
    {
        return static_cast<int>(std::count(types.begin(), types.end(), type));
    }
    std::vector<std::string> requestsTo(const std::string& path)
    {
        std::vector<std::string> bodies;
        for (const auto& r : http.requests())
            if (r.url.find(path) != std::string::npos) bodies.push_back(r.body.value_or(""));
        return bodies;
    }
    bool logged(const std::string& line)
    {
        std::lock_guard lock(logMutex);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(SessionTest, StartingTwiceMakesOneSessionAndStoppingWithoutOneReportsNothing)
{
    session->stop();
    EXPECT_EQ(state.status(), SessionStatus::off());
    loop.runPosted();
    EXPECT_TRUE(http.requests().empty());

    state.setEnabled(true);
    session->start(); // the credential is still on its way
    loop.runPosted();
    session->start();
    loop.runPosted();
    EXPECT_EQ(requestsTo("/api/realtime/session").size(), 1u);
    ASSERT_EQ(sockets.made.size(), 1u);
    EXPECT_EQ(state.status(), SessionStatus::listening());
    EXPECT_EQ(state.remainingSeconds(), 600);
    const auto& request = socket().request;
    EXPECT_EQ(request.url, "ws://realtime/v1/realtime?model=rt-1");
}

TEST_F(SessionTest, ConfiguresTheConnectionFromTheChosenVerbosityAndVoice)
{
    state.verbosity.set(Verbosity::silent);
    state.voice.set("sage");
    switchOn();
    const json update = socket().sentJson().at(0);
    EXPECT_EQ(update["type"], "session.update");
    EXPECT_EQ(update["session"]["output_modalities"], json({"text"}));
    EXPECT_EQ(update["session"]["audio"]["output"]["voice"], "sage");
    EXPECT_EQ(update["session"]["tools"].size(), ToolDispatcher::schema().size());
}

TEST_F(SessionTest, TheMicrophoneIsMutedFromResponseStartUntilPlaybackDrainsThenListeningReturns)
{
    switchOn();
    captureChunk();
    EXPECT_EQ(count(socket().sentTypes(), "input_audio_buffer.append"), 1);

    server({{"type", "response.created"}});
    EXPECT_EQ(state.status(), SessionStatus::acting());
    EXPECT_TRUE(session->botSpeaking());
    captureChunk(); // dropped, not buffered
    EXPECT_EQ(count(socket().sentTypes(), "input_audio_buffer.append"), 1);

    server({{"type", "response.output_audio.delta"}, {"delta", "AAAAAA=="}});
    server({{"type", "response.done"}});
    EXPECT_TRUE(session->botSpeaking()) << "audio still playing";
    audioSystem.output->finishNext();
    loop.runPosted();
    EXPECT_FALSE(session->botSpeaking());
    EXPECT_TRUE(logged("[twk/session] playback drained — mic unmuted"));
    captureChunk();
    EXPECT_EQ(count(socket().sentTypes(), "input_audio_buffer.append"), 2);

    loop.advance(seconds(0.99));
    EXPECT_EQ(state.status(), SessionStatus::acting());
    loop.advance(seconds(0.01));
    EXPECT_EQ(state.status(), SessionStatus::listening());
}

TEST_F(SessionTest, ADrainedSpeakerDoesNotUnmuteWhileTheResponseGoesOn)
{
    switchOn();
    server({{"type", "response.created"}});
    server({{"type", "response.output_audio.delta"}, {"delta", "AAAA"}});
    audioSystem.output->finishNext();
    loop.runPosted();
    EXPECT_TRUE(session->botSpeaking());
    server({{"type", "response.done"}});
    EXPECT_FALSE(session->botSpeaking());
    EXPECT_TRUE(logged("[twk/session] mic unmuted (no pending audio)"));
}

TEST_F(SessionTest, AToolCallWithinASecondOfResponseDoneKeepsTheSessionActing)
{
    switchOn();
    server({{"type", "response.created"}});
    server({{"type", "response.done"}});
    loop.advance(seconds(0.5));
    toolCall("set_plan", "c1", R"({"steps":["a","b"]})");
    EXPECT_EQ(state.status(), SessionStatus::acting());
    EXPECT_EQ(state.taskSteps().size(), 2u);
    loop.advance(seconds(2));
    EXPECT_EQ(state.status(), SessionStatus::acting());
    const auto sent = socket().sentJson();
    const auto output = std::find_if(sent.begin(), sent.end(), [](const json& m) {
        return m["type"] == "conversation.item.create" && m["item"]["type"] == "function_call_output";
    });
    ASSERT_NE(output, sent.end());
    EXPECT_EQ((*output)["item"]["call_id"], "c1");
    EXPECT_EQ(sent.back()["type"], "response.create");
}

TEST_F(SessionTest, AfterTheStopToolExactlyOneResultGoesBackSilently)
{
    switchOn();
    toolCall("stop", "c1");
    EXPECT_TRUE(cancellation.cancelled());
    EXPECT_EQ(count(socket().sentTypes(), "response.create"), 1);
    toolCall("set_plan", "c2", R"({"steps":["x"]})");
    EXPECT_EQ(count(socket().sentTypes(), "conversation.item.create"), 2) << "the result itself goes back";
    EXPECT_EQ(count(socket().sentTypes(), "response.create"), 1) << "but asks for no response";
    toolCall("complete_step", "c3");
    EXPECT_EQ(count(socket().sentTypes(), "response.create"), 2);
}

TEST_F(SessionTest, UserSpeechInterruptsOnlyASilentAssistant)
{
    switchOn();
    server({{"type", "response.created"}});
    toolCall("stop", "c1");
    const int resetsBefore = audioSystem.output->resets;
    server({{"type", "input_audio_buffer.speech_started"}});
    EXPECT_TRUE(logged("[twk/session] speech_started while botSpeaking=true"));
    EXPECT_EQ(count(socket().sentTypes(), "response.cancel"), 0) << "taken to be the assistant's own voice";
    EXPECT_EQ(audioSystem.output->resets, resetsBefore);
    // The speech cleared the stop mark: the next result asks for a response again.
    toolCall("complete_step", "c2");
    server({{"type", "response.done"}});
    EXPECT_EQ(count(socket().sentTypes(), "response.create"), 1) << "one deferred request for both results";

    // Silent, with a response stuck on the server: the user's voice cancels it.
    server({{"type", "response.created"}});
    loop.advance(seconds(80)); // the watchdog gives up on it and unmutes
    ASSERT_FALSE(session->botSpeaking());
    server({{"type", "input_audio_buffer.speech_started"}});
    EXPECT_TRUE(logged("[twk/session] speech_started while botSpeaking=false"));
    EXPECT_EQ(count(socket().sentTypes(), "response.cancel"), 1);
    EXPECT_GT(audioSystem.output->resets, resetsBefore);
}

TEST_F(SessionTest, ADroppedConnectionReconnectsAfterOneSecondWithAFreshCredentialAndReportsUsage)
{
    switchOn();
    loop.advance(seconds(12));
    socket().drop("The remote host closed the connection");
    loop.runPosted();
    EXPECT_EQ(state.status(), SessionStatus::connecting());
    EXPECT_EQ(state.activity(), "reconnecting…");
    EXPECT_TRUE(logged("[twk/session] reconnecting (attempt 1/4)"));
    ASSERT_EQ(requestsTo("/api/usage/track").size(), 1u);
    EXPECT_EQ(json::parse(requestsTo("/api/usage/track")[0])["seconds"], 12.0);

    loop.advance(seconds(0.99));
    EXPECT_EQ(sockets.made.size(), 1u);
    loop.advance(seconds(0.01));
    ASSERT_EQ(sockets.made.size(), 2u);
    EXPECT_EQ(requestsTo("/api/realtime/session").size(), 2u);
    server({{"type", "conversation.item.input_audio_transcription.completed"}, {"transcript", "hello"}});
    EXPECT_EQ(state.lastUserUtterance(), "hello");
    EXPECT_EQ(session->reconnectAttempts(), 0);
    EXPECT_EQ(state.activity(), "");
}

TEST_F(SessionTest, ConsecutiveFailuresBackOffOneToFourSecondsThenEndTheSession)
{
    switchOn();
    std::vector<double> delays;
    for (int attempt = 1; attempt <= 4; ++attempt) {
        const size_t before = sockets.made.size();
        socket().drop("connection refused");
        loop.runPosted();
        const auto start = loop.now();
        while (sockets.made.size() == before) loop.advance(std::chrono::milliseconds(100));
        delays.push_back(std::chrono::duration<double>(loop.now() - start).count());
        // The new connection fails before producing any event.
    }
    EXPECT_EQ(delays, (std::vector<double>{1, 2, 3, 4}));
    socket().drop("connection refused");
    loop.runPosted();
    EXPECT_EQ(state.status(), SessionStatus::error("connection lost"));
    EXPECT_FALSE(state.isEnabled());
    EXPECT_FALSE(session->hasClient());
    loop.advance(seconds(10));
    EXPECT_EQ(sockets.made.size(), 5u);
}

TEST_F(SessionTest, DropsSeparatedByServerEventsEachReconnectAfterOneSecond)
{
    switchOn();
    for (int i = 0; i < 3; ++i) {
        socket().drop("gone");
        loop.runPosted();
        loop.advance(seconds(1));
        server({{"type", "response.created"}});
        server({{"type", "response.done"}});
    }
    EXPECT_EQ(sockets.made.size(), 4u);
}

TEST_F(SessionTest, EventsOfADroppedConnectionAreIgnored)
{
    switchOn();
    auto old = sockets.made.back();
    old->drop("gone");
    loop.runPosted();
    loop.advance(seconds(1));
    old->receive({{"type", "response.created"}});
    loop.runPosted();
    EXPECT_EQ(state.status(), SessionStatus::listening());
    EXPECT_FALSE(session->botSpeaking());
}

TEST_F(SessionTest, AConnectionErrorWhileSwitchedOffEndsTheSession)
{
    switchOn();
    state.isEnabled.set(false);
    socket().drop("gone");
    loop.runPosted();
    EXPECT_EQ(state.status(), SessionStatus::error("connection lost"));
    EXPECT_EQ(sockets.made.size(), 1u);
}

TEST_F(SessionTest, AFatalServerErrorStopsTheSessionAndStaysVisible)
{
    switchOn();
    loop.advance(seconds(3));
    server({{"type", "error"}, {"error", {{"message", "Invalid API key"}, {"code", "invalid_api_key"}}}});
    EXPECT_EQ(state.status(), SessionStatus::error("Invalid API key"));
    EXPECT_FALSE(state.isEnabled());
    EXPECT_EQ(socket().closeCodes, (std::vector<int>{1001}));
    EXPECT_FALSE(audio->capturing());
    loop.runPosted();
    EXPECT_EQ(requestsTo("/api/usage/track").size(), 1u);
}

TEST_F(SessionTest, TheWatchdogRecoversFromAToolRunWithoutProgress)
{
    switchOn();
    state.setPlan({"a"});
    state.agentStepCount.set(2);
    server({{"type", "response.created"}});
    loop.advance(seconds(76));
    EXPECT_EQ(state.status(), SessionStatus::acting()) << "checked every 5 s: the 75 s check is not yet past the limit";
    loop.advance(seconds(4));
    EXPECT_EQ(state.status(), SessionStatus::listening());
    EXPECT_TRUE(cancellation.cancelled());
    EXPECT_TRUE(state.taskSteps().empty());
    EXPECT_EQ(state.agentStepCount(), 0);
    EXPECT_FALSE(session->botSpeaking());
    EXPECT_TRUE(logged("[twk/session] watchdog: stuck in acting — recovering"));
}

TEST_F(SessionTest, QuotaRefusalsAndFailedCredentialsSwitchOffWithTheirMessages)
{
    const std::pair<std::string, SessionStatus> cases[] = {
        {R"({"error":"quota","plan":"pro","remainingSeconds":150})", SessionStatus::error("quota: 2m left")},
        {R"({"error":"quota","remainingSeconds":59})", SessionStatus::error("out of minutes")},
        {R"({"error":"quota"})", SessionStatus::error("out of minutes")},
    };
    for (const auto& [body, status] : cases) {
        mintAnswer = [body] { return FakeHttpClient::reply(402, body); };
        switchOn();
        EXPECT_EQ(state.status(), status) << body;
        EXPECT_FALSE(state.isEnabled());
    }
    EXPECT_EQ(state.plan(), "pro");
    EXPECT_EQ(state.remainingSeconds(), 0);
    mintAnswer = [] { return FakeHttpClient::reply(500, "down"); };
    switchOn();
    EXPECT_EQ(state.status(), SessionStatus::error("connect failed"));
    EXPECT_TRUE(sockets.made.empty());
}

TEST_F(SessionTest, ACredentialArrivingAfterAStopIsDropped)
{
    http.respond = nullptr; // requests wait for the test
    state.setEnabled(true);
    loop.runPosted();
    state.setEnabled(false);
    state.setEnabled(true);
    loop.runPosted();
    auto pending = http.takePending();
    ASSERT_EQ(pending.size(), 2u);
    pending[0](FakeHttpClient::reply(200, mintBody)); // the stopped session's
    loop.runPosted();
    EXPECT_TRUE(sockets.made.empty());
    pending[1](FakeHttpClient::reply(200, mintBody));
    loop.runPosted();
    EXPECT_EQ(sockets.made.size(), 1u);
}

TEST_F(SessionTest, AMicrophoneThatCannotStartEndsTheSession)
{
    audioSystem.devices.clear();
    audioSystem.defaultDevice.reset();
    switchOn();
    EXPECT_EQ(state.status(), SessionStatus::error("mic failed"));
    EXPECT_FALSE(state.isEnabled());
    EXPECT_FALSE(session->hasClient());
}

TEST_F(SessionTest, StoppingReportsTheConnectedTimeThenRefreshesTheFigures)
{
    switchOn();
    loop.advance(seconds(30));
    state.setEnabled(false);
    EXPECT_EQ(state.status(), SessionStatus::off());
    EXPECT_TRUE(cancellation.cancelled()) << "a task the agent is running stops with the session";
    EXPECT_EQ(socket().closeCodes, (std::vector<int>{1001}));
    loop.runPosted();
    ASSERT_EQ(requestsTo("/api/usage/track").size(), 1u);
    EXPECT_EQ(json::parse(requestsTo("/api/usage/track")[0])["seconds"], 30.0);
    EXPECT_EQ(http.requests().back().method, "GET");
    EXPECT_EQ(state.remainingSeconds(), 570);
    EXPECT_EQ(session->pendingUsageReports(), 0);
    loop.advance(seconds(5));
    EXPECT_EQ(state.remainingSeconds(), 570) << "the tick stopped with the session";
}

TEST_F(SessionTest, AUsageReportIsOnItsWayUntilTheRefreshAfterItHasAnswered)
{
    switchOn();
    loop.advance(seconds(30));
    http.respond = nullptr; // from here on the test answers each request
    const auto answer = [this](Expected<HttpResponse> reply) {
        auto pending = http.takePending();
        ASSERT_EQ(pending.size(), 1u);
        pending[0](std::move(reply));
        loop.runPosted();
    };
    state.setEnabled(false);
    loop.runPosted();
    EXPECT_EQ(session->pendingUsageReports(), 1);
    answer(FakeHttpClient::reply(200, "{}"));
    EXPECT_EQ(http.last().method, "GET");
    EXPECT_EQ(session->pendingUsageReports(), 1) << "a quitting program would lose the refresh";
    const double shown = state.remainingSeconds();
    answer(FakeHttpClient::reply(503));
    EXPECT_EQ(session->pendingUsageReports(), 0) << "a failed refresh ends the wait too";
    EXPECT_EQ(state.remainingSeconds(), shown);
}

} // namespace
} // namespace twk
