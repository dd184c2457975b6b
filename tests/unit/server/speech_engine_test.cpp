// The offline speech engine's turns, after recognition: the events it sends
// the client and their order, with real speech synthesis.

#include "speech_engine.h"
#include "spoken_reply.h"
#include "tools/tool_catalogue.h"

#include <gtest/gtest.h>

namespace twk::server {
namespace {

using nlohmann::json;

struct RecordingOutput : RealtimeOutput {
    std::vector<json> events;
    void send(const json& event) override { events.push_back(event); }
    void drop() override {}
    void close(int, const std::string&) override {}
    bool isOpen() const override { return true; }

    /// The event types since `from`, with runs of audio deltas counted as one.
    std::vector<std::string> types(size_t from = 0) const
    {
        std::vector<std::string> out;
        for (size_t i = from; i < events.size(); ++i) {
            const std::string type = events[i]["type"];
            if (out.empty() || out.back() != type) out.push_back(type);
        }
        return out;
    }
    const json* last(const std::string& type) const
    {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if ((*it)["type"] == type) return &*it;
        return nullptr;
    }
};

class SpeechEngineTest : public ::testing::Test {
protected:
    RecordingOutput output;
    SpeechEngine engine{output, 1, [] { return std::vector<AppNaming>{{"Galculator", "Calculator"}}; }};

    void SetUp() override
    {
        engine.onClientMessage({{"type", "session.update"},
                                {"session",
                                 {{"tools", toolCatalogue()},
                                  {"instructions", "  \u2022 Current local time: 1:14 PM CET (Europe/Berlin)\n"},
                                  {"audio", {{"output", {{"voice", "marin"}}}}}}}});
        // Speech starts: the grammar is built from the session's tools and the applications.
        engine.onInputAudio(std::string(4800, '\0'));
        engine.onVoiceActivity({VadEvent::Kind::speechStarted, 50});
    }
    void toolReturns(const std::string& callId, const std::string& result)
    {
        engine.onClientMessage({{"type", "conversation.item.create"},
                                {"item", {{"type", "function_call_output"}, {"call_id", callId}, {"output", result}}}});
        engine.onClientMessage({{"type", "response.create"}});
    }
};

const std::vector<std::string> spokenReply{
    "response.created",          "response.output_item.added",             "response.output_audio.delta",
    "response.output_audio.done", "response.output_audio_transcript.done", "response.output_item.done",
    "response.done"};

TEST_F(SpeechEngineTest, ACommandCallsTheToolThenSpeaksItsResult)
{
    engine.handleTurn({"open the calculator", 0.2});
    EXPECT_EQ(output.types(), (std::vector<std::string>{"conversation.item.input_audio_transcription.completed",
                                                         "response.created", "response.output_item.added",
                                                         "response.function_call_arguments.done",
                                                         "response.output_item.done", "response.done"}));
    EXPECT_EQ(output.events[0]["transcript"], "open the calculator");
    const json call = *output.last("response.function_call_arguments.done");
    EXPECT_EQ(call["name"], "open_app");
    EXPECT_EQ(json::parse(call["arguments"].get<std::string>()), (json{{"name", "Galculator"}}));

    toolReturns("call_unknown", R"({"ok":true,"message":"opened Something"})"); // not this call's output
    EXPECT_EQ((*output.last("response.output_audio_transcript.done"))["transcript"], "OK.");
    const size_t mark = output.events.size();
    toolReturns(call["call_id"], R"({"ok":true,"message":"opened Galculator"})");
    EXPECT_EQ(output.types(mark), spokenReply);
    EXPECT_EQ((*output.last("response.output_audio_transcript.done"))["transcript"], "Opened Galculator.");
    // The reply is speech: about a second of 24 kHz PCM16 with some loudness.
    std::string audio;
    for (size_t i = mark; i < output.events.size(); ++i)
        if (output.events[i]["type"] == "response.output_audio.delta")
            audio += QByteArray::fromBase64(QByteArray::fromStdString(output.events[i]["delta"])).toStdString();
    EXPECT_GT(audio.size(), 24000u);
    EXPECT_LT(audio.size(), 24000u * 2 * 3);
}

TEST_F(SpeechEngineTest, UnfitSpeechIsRefusedAloudAndNothingIsCalled)
{
    engine.handleTurn({"open the calculator", SpeechEngine::maxMismatch + 0.1});
    engine.handleTurn({"really good joke", 0.1}); // fits only the everyday words
    EXPECT_EQ(output.types(), (std::vector<std::string>{"conversation.item.input_audio_transcription.completed",
                                                         "response.created", "response.output_item.added",
                                                         "response.output_audio.delta", "response.output_audio.done",
                                                         "response.output_audio_transcript.done",
                                                         "response.output_item.done", "response.done",
                                                         "conversation.item.input_audio_transcription.completed",
                                                         "response.created", "response.output_item.added",
                                                         "response.output_audio.delta", "response.output_audio.done",
                                                         "response.output_audio_transcript.done",
                                                         "response.output_item.done", "response.done"}));
    EXPECT_EQ(output.events[0]["transcript"], "(not understood)");
    EXPECT_EQ(output.last("conversation.item.input_audio_transcription.completed")->value("transcript", ""), "(not understood)");
    EXPECT_EQ((*output.last("response.output_audio_transcript.done"))["transcript"].get<std::string>().rfind("Sorry, I can only do simple commands, like: open ", 0), 0u);
}

TEST_F(SpeechEngineTest, VolumeStepsNeedAKnownLevelAndTheTimeIsAnsweredDirectly)
{
    engine.handleTurn({"volume up", 0});
    EXPECT_EQ(output.last("response.function_call_arguments.done"), nullptr);
    engine.handleTurn({"set the volume to forty percent", 0});
    toolReturns((*output.last("response.function_call_arguments.done"))["call_id"], R"({"ok":true,"message":"volume 40%"})");
    engine.handleTurn({"volume up", 0});
    EXPECT_EQ((*output.last("response.function_call_arguments.done"))["arguments"], R"({"percent":50})");

    const size_t mark = output.events.size();
    engine.handleTurn({"what time is it", 0});
    const std::string said = (*output.last("response.output_audio_transcript.done"))["transcript"];
    EXPECT_EQ(said.rfind("It's ", 0), 0u) << said;
    EXPECT_EQ(output.types(mark + 1), spokenReply);
}

TEST(SpokenReply, ResultsAndErrorsInPlainWords)
{
    EXPECT_EQ(confirmationOf(R"({"ok":false,"error":"no app matching spreadsheet"})"), "Sorry, no app matching spreadsheet.");
    EXPECT_EQ(confirmationOf(R"({"ok":true,"message":"Wi-Fi turned off"})"), "Wi-Fi turned off.");
    EXPECT_EQ(confirmationOf("done\nwith details"), "Done.");
    EXPECT_EQ(confirmationOf(R"({"ok":true,"apps":[]})"), "Done.");
    EXPECT_EQ(zoneFromInstructions("x\n  Current local time: 1:14 PM CET (Europe/Berlin)\n").id(), "Europe/Berlin");
    EXPECT_EQ(zoneFromInstructions("Current local time: 1 PM (Not/AZone)"), QTimeZone::systemTimeZone());
    const QDateTime at(QDate(2026, 12, 7), QTime(13, 4), QTimeZone("UTC"));
    EXPECT_EQ(timeAnswer(at), "It's 1:04 PM.");
    EXPECT_EQ(dateAnswer(at), "Today is Monday, December 7, 2026.");
}

} // namespace
} // namespace twk::server
