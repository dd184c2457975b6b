#include "common/base64.h"
#include "common/log.h"
#include "fakes/fake_websocket.h"
#include "voice/realtime_client.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

using nlohmann::json;
using namespace realtime;
using test::FakeWebSocket;

class RealtimeClientTest : public ::testing::Test {
protected:
    RealtimeClientTest()
    {
        client->onEvent = [this](RealtimeClient::Event e) { events.push_back(std::move(e)); };
    }

    FakeWebSocket& connected()
    {
        client->connect("ek_secret", "gpt-realtime");
        events.clear();
        lines.clear();
        factory.last().clearSent();
        return factory.last();
    }

    static std::string audioDelta(const char* type, size_t bytes, std::uint8_t fill)
    {
        return json{{"type", type}, {"delta", base64Encode(std::vector<std::uint8_t>(bytes, fill))}}.dump();
    }

    test::FakeWebSocketFactory factory;
    json tools = json::array({{{"type", "function"}, {"name", "open_app"}}});
    std::shared_ptr<RealtimeClient> client =
        RealtimeClient::create(factory, "ws://127.0.0.1:8788", "Be brief.", tools, "marin", {"audio"});
    std::vector<RealtimeClient::Event> events;
    std::vector<std::string> lines;
    LogCapture capture{[this](const std::string& l) { lines.push_back(l); }};
};

TEST_F(RealtimeClientTest, ConnectsOnceToTheEndpointWithOnlyTheBearerHeaderAndConfiguresTheSession)
{
    client->connect("ek_secret", "gpt realtime&x");
    client->connect("ek_other", "gpt-realtime");
    ASSERT_EQ(factory.made.size(), 1u);
    FakeWebSocket& socket = factory.last();
    EXPECT_EQ(socket.opens, 1);
    EXPECT_EQ(socket.request.url, "ws://127.0.0.1:8788/v1/realtime?model=gpt%20realtime%26x");
    EXPECT_EQ(socket.request.headers,
              (std::vector<std::pair<std::string, std::string>>{{"Authorization", "Bearer ek_secret"}}));
    EXPECT_EQ(socket.sentTypes(), std::vector<std::string>{"session.update"});
    EXPECT_EQ(events, std::vector<RealtimeClient::Event>{State{SessionStatus::listening()}});
}

TEST_F(RealtimeClientTest, AudioCapturedWhileTheSocketOpensNeverGoesAheadOfTheSessionUpdate)
{
    const std::vector<std::uint8_t> chunk(960, 7);
    factory.whileOpening = [&] { client->send(chunk); }; // the capture thread, mid-connect
    client->connect("ek_secret", "gpt-realtime");
    client->send(chunk);
    EXPECT_EQ(factory.last().sentTypes(), (std::vector<std::string>{"session.update", "input_audio_buffer.append"}));
}

TEST_F(RealtimeClientTest, SessionUpdateHoldsEveryFieldOfTheConfiguration)
{
    client->connect("ek_secret", "gpt-realtime");
    const json expected = json::parse(R"({"type":"session.update","session":{
        "type":"realtime","instructions":"Be brief.","output_modalities":["audio"],
        "audio":{"input":{"format":{"type":"audio/pcm","rate":24000},
                          "turn_detection":{"type":"semantic_vad","eagerness":"low","create_response":true,
                                            "interrupt_response":false},
                          "transcription":{"model":"gpt-4o-mini-transcribe"}},
                 "output":{"format":{"type":"audio/pcm","rate":24000},"voice":"marin"}},
        "tools":[{"type":"function","name":"open_app"}],"tool_choice":"auto"}})");
    EXPECT_EQ(factory.last().sentJson().at(0), expected);
    EXPECT_EQ(factory.last().sent.at(0).find('\n'), std::string::npos); // compact
}

TEST_F(RealtimeClientTest, AudioDeltasUnderEitherNameAreDecodedCountedAndSummarisedPerResponse)
{
    FakeWebSocket& socket = connected();
    socket.receive({{"type", "response.created"}});
    socket.receiveText(audioDelta("response.audio.delta", 4800, 1));
    socket.receiveText(audioDelta("response.output_audio.delta", 4800, 2));
    socket.receive({{"type", "response.audio.delta"}, {"delta", "not base64!"}});
    socket.receive({{"type", "response.audio.delta"}, {"delta", 42}});
    socket.receive({{"type", "response.audio.delta"}});
    socket.receiveText(audioDelta("response.audio.delta", 4800, 3));
    socket.receive({{"type", "response.output_audio.done"}});

    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], Event{ResponseStarted{}});
    EXPECT_EQ(events[2], Event{AudioDelta{std::vector<std::uint8_t>(4800, 2)}});
    EXPECT_EQ(lines.back(), "[realtime] output_audio.done — total deltas=3 bytes=14400 (~300ms at 24kHz Int16 mono)");

    socket.receive({{"type", "response.created"}}); // a new response counts from zero
    socket.receiveText(audioDelta("response.output_audio.delta", 100, 0));
    socket.receive({{"type", "response.audio.done"}});
    EXPECT_EQ(lines.back(), "[realtime] output_audio.done — total deltas=1 bytes=100 (~2ms at 24kHz Int16 mono)");
}

TEST_F(RealtimeClientTest, ResponseDoneLogsItsSummaryWithDefaultsForWhatIsMissing)
{
    FakeWebSocket& socket = connected();
    socket.receive({{"type", "response.created"}});
    socket.receiveText(audioDelta("response.audio.delta", 960, 0));
    socket.receive(json::parse(R"({"type":"response.done","response":{"status":"completed",
        "status_details":{"reason":"turn_detected"},"usage":{"output_tokens":57},
        "output":[{"type":"message","content":[{"type":"output_audio"},{"text":"x"}]},
                  {"type":"function_call"},{"content":[]}]}})"));
    EXPECT_EQ(lines.back(), "[realtime] response.done — status=completed reason=turn_detected audioDeltas=1 "
                            "bytes=960 outputTokens=57 items=[message[output_audio,?] function_call[] ?[]]");

    socket.receive(json::parse(R"({"type":"response.done","response":{"status":5,"status_details":null,
        "usage":{"output_tokens":"many"},"output":{}}})"));
    EXPECT_EQ(lines.back(), "[realtime] response.done — status=? reason=— audioDeltas=1 bytes=960 "
                            "outputTokens=-1 items=[]");
    EXPECT_EQ(events, (std::vector<Event>{ResponseStarted{}, AudioDelta{std::vector<std::uint8_t>(960, 0)},
                                          ResponseDone{}, ResponseDone{}}));
}

TEST_F(RealtimeClientTest, TranscriptsAndToolCallsUnderEitherNameNeedTheirFields)
{
    FakeWebSocket& socket = connected();
    socket.receive({{"type", "conversation.item.input_audio_transcription.completed"}, {"transcript", "open notes"}});
    socket.receive({{"type", "conversation.item.input_audio_transcription.completed"}, {"transcript", ""}});
    socket.receive({{"type", "response.output_audio_transcript.done"}, {"transcript", "Opening."}});
    socket.receive({{"type", "response.audio_transcript.done"}, {"transcript", "Done."}});
    socket.receive({{"type", "response.audio_transcript.done"}, {"transcript", nullptr}});
    socket.receive({{"type", "response.function_call_arguments.done"},
                    {"call_id", "c1"},
                    {"name", "open_app"},
                    {"arguments", R"({"name":"Notes"})"}});
    socket.receive({{"type", "response.output_function_call_arguments.done"},
                    {"call_id", "c2"},
                    {"name", "stop"},
                    {"arguments", "{}"}});
    socket.receive({{"type", "response.function_call_arguments.done"}, {"name", "stop"}, {"arguments", "{}"}});
    socket.receive({{"type", "response.function_call_arguments.done"},
                    {"call_id", "c3"},
                    {"name", "stop"},
                    {"arguments", json::object()}});

    EXPECT_EQ(events, (std::vector<Event>{Transcript{Role::user, "open notes"}, Transcript{Role::assistant, "Opening."},
                                          Transcript{Role::assistant, "Done."},
                                          ToolCall{"c1", "open_app", R"({"name":"Notes"})"},
                                          ToolCall{"c2", "stop", "{}"}}));
    EXPECT_TRUE(lines.empty());
}

TEST_F(RealtimeClientTest, BinaryFramesAreReadAsUtf8TextAndMalformedMessagesAreIgnoredSilently)
{
    FakeWebSocket& socket = connected();
    socket.receiveBinary(R"({"type":"input_audio_buffer.speech_started"})");
    socket.receiveBinary(
        "{\"type\":\"conversation.item.input_audio_transcription.completed\",\"transcript\":\"\xff\"}");
    for (const char* junk : {"", "null", "[1,2]", "\"response.created\"", "{\"type\":7}", "{\"kind\":\"error\"}",
                             "{\"type\":\"response.created\"", "{\"type\":\"session.created\"}"})
        socket.receiveText(junk);
    socket.receiveText(R"({"type":"input_audio_buffer.speech_stopped"})");

    EXPECT_EQ(events, std::vector<Event>{UserSpeechStarted{}});
    EXPECT_EQ(lines, (std::vector<std::string>{"[realtime] speech_started (from server VAD)",
                                               "[realtime] speech_stopped (from server VAD)"}));
}

TEST_F(RealtimeClientTest, ServerErrorsAreLoggedAndOnlyThoseThatMatterBecomeAnErrorState)
{
    FakeWebSocket& socket = connected();
    const auto error = [&](json body) { socket.receive({{"type", "error"}, {"error", std::move(body)}}); };
    error({{"message", "Cancellation failed: NO ACTIVE RESPONSE found"}, {"code", "x"}});
    error({{"message", "Conversation Already Has An Active Response"}});
    error({{"message", "busy"}, {"code", "conversation_already_has_active_response"}});
    error({{"message", "nothing to cancel"}, {"code", "response_cancel_not_active"}});
    EXPECT_TRUE(events.empty());

    error({{"message", "Invalid API key"}, {"code", "invalid_api_key"}});
    error({{"message", "odd"}, {"code", "RESPONSE_CANCEL_NOT_ACTIVE"}}); // codes compare exactly
    socket.receive({{"type", "error"}});
    error({{"message", "Upstream Connection failed"}}); // worth a reconnect
    const auto service = realtime::ErrorCause::service;
    EXPECT_EQ(events, (std::vector<Event>{State{SessionStatus::error("Invalid API key"), service},
                                          State{SessionStatus::error("odd"), service},
                                          State{SessionStatus::error("realtime error"), service},
                                          State{SessionStatus::error("Upstream Connection failed"),
                                                realtime::ErrorCause::connection}}));
    EXPECT_EQ(lines.front(),
              "[realtime] server error: Cancellation failed: NO ACTIVE RESPONSE found [code=x]");
    EXPECT_EQ(lines.back(), "[realtime] server error: Upstream Connection failed [code=]");
    EXPECT_EQ(lines.size(), 8u);
}

TEST_F(RealtimeClientTest, AToolResultWaitsForTheResponseInFlightAndAsksOnceWhenItIsDone)
{
    FakeWebSocket& socket = connected();
    client->sendToolResult("c1", R"({"ok":true})", std::nullopt, true);
    EXPECT_EQ(socket.sentTypes(), (std::vector<std::string>{"conversation.item.create", "response.create"}));
    EXPECT_EQ(socket.sentJson()[0]["item"],
              (json{{"type", "function_call_output"}, {"call_id", "c1"}, {"output", R"({"ok":true})"}}));
    EXPECT_EQ(socket.sentJson()[1], json({{"type", "response.create"}}));

    socket.clearSent();
    socket.receive({{"type", "response.created"}});
    client->sendToolResult("c2", "{}", std::nullopt, true);
    client->sendToolResult("c3", "{}", std::nullopt, true);
    EXPECT_EQ(socket.sentTypes(), (std::vector<std::string>{"conversation.item.create", "conversation.item.create"}));
    socket.receive({{"type", "response.done"}});
    socket.receive({{"type", "response.done"}});
    EXPECT_EQ(socket.sentTypes(), (std::vector<std::string>{"conversation.item.create", "conversation.item.create",
                                                            "response.create"}));

    socket.clearSent();
    client->sendToolResult("c4", "{}", std::nullopt, false);
    EXPECT_EQ(socket.sentTypes(), std::vector<std::string>{"conversation.item.create"});
}

TEST_F(RealtimeClientTest, AScreenshotFollowsTheOutputAsAUserImageMessage)
{
    FakeWebSocket& socket = connected();
    client->sendToolResult("c1", "{\"ok\":true,\"note\":\"\xff\"}", std::string("iVBORw0KGgo="), true);
    const auto sent = socket.sentJson();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0]["item"]["output"], "{\"ok\":true,\"note\":\"\xef\xbf\xbd\"}"); // kept, not dropped
    EXPECT_EQ(sent[1], json::parse(R"({"type":"conversation.item.create","item":{"type":"message","role":"user",
        "content":[{"type":"input_image","image_url":"data:image/png;base64,iVBORw0KGgo="}]}})"));
    EXPECT_EQ(sent[2]["type"], "response.create");
}

TEST_F(RealtimeClientTest, CancelIsSentOnlyWhileAResponseIsInFlight)
{
    FakeWebSocket& socket = connected();
    client->cancelResponse();
    socket.receive({{"type", "response.created"}});
    client->cancelResponse();
    socket.receive({{"type", "response.done"}});
    client->cancelResponse();
    EXPECT_EQ(socket.sentJson(), std::vector<json>{json({{"type", "response.cancel"}})});
}

TEST_F(RealtimeClientTest, AudioGoesUpAsBase64UntilTheConnectionIsLostAndFailuresAreLogged)
{
    FakeWebSocket& socket = connected();
    const std::vector<std::uint8_t> chunk{0x01, 0x00, 0xff, 0x7f};
    client->send(chunk);
    EXPECT_EQ(socket.sentJson(),
              std::vector<json>{json({{"type", "input_audio_buffer.append"}, {"audio", "AQD/fw=="}})});

    socket.handlers.onSendError("Broken pipe");
    EXPECT_TRUE(events.empty());
    socket.drop("Connection reset by peer");
    EXPECT_EQ(lines, (std::vector<std::string>{"[realtime] send error: Broken pipe",
                                               "[realtime] recv error: Connection reset by peer"}));
    EXPECT_EQ(events, (std::vector<Event>{State{SessionStatus::error("connection lost"), realtime::ErrorCause::connection}}));
    EXPECT_EQ(socket.closeCodes, std::vector<int>{1001});

    socket.clearSent();
    client->send(chunk);
    client->sendToolResult("c1", "{}", std::nullopt, true);
    EXPECT_TRUE(socket.sent.empty());
}

TEST_F(RealtimeClientTest, ClosingGoesAwayAndCallbacksOutlivingTheClientDoNothing)
{
    FakeWebSocket& socket = connected();
    client->close();
    EXPECT_EQ(socket.closeCodes, std::vector<int>{1001});
    client->cancelResponse();
    client->send(std::vector<std::uint8_t>{1, 2});
    EXPECT_TRUE(socket.sent.empty());

    auto other = RealtimeClient::create(factory, "ws://h:1", "", json::array(), "v", {"text"});
    int otherEvents = 0;
    other->onEvent = [&](RealtimeClient::Event) { ++otherEvents; };
    other->connect("s", "m");
    auto held = factory.made.back(); // the socket and its handlers outlive the client
    other.reset();
    EXPECT_EQ(held->closeCodes, std::vector<int>{1001});
    lines.clear();
    held->receive({{"type", "input_audio_buffer.speech_started"}});
    held->drop("late");
    EXPECT_EQ(otherEvents, 1); // only the listening state from connect
    EXPECT_TRUE(lines.empty());
}

TEST(RealtimeClient, RefusesToolsThatAreNotAnArray)
{
    test::FakeWebSocketFactory factory;
    EXPECT_THROW(RealtimeClient::create(factory, "ws://h:1", "", json::object(), "v", {"text"}), std::invalid_argument);
}

} // namespace
} // namespace twk
