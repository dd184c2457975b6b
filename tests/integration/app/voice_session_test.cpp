// `tarnwick session` talking to the real tarnwick-server over loopback: the
// stored choices reach the server, the microphone is streamed, a tool call is
// answered and its reply played, and the connected time is accounted for.

#include "integration/app/session_fixture.h"
#include "tools/system_prompt.h"
#include "tools/tool_dispatcher.h"

#include "fakes/pcm_signals.h"
#include "voice/wav_file.h"

#include <csignal>
#include <regex>
#include <thread>

namespace twk::test {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

constexpr size_t bytesPerMs = 48; // PCM16 mono at 24 kHz

class VoiceSession : public SessionFixture {
protected:
    /// The first thing the client sends configures the session from the
    /// stored choices, with every tool offered.
    void expectConfiguredFor(Verbosity verbosity, const std::string& voice, const std::string& modality)
    {
        const auto all = recording();
        ASSERT_FALSE(all.empty());
        ASSERT_EQ(all.front()["type"], "session.update");
        const json& session = all.front()["message"]["session"];
        EXPECT_TRUE(session.value("instructions", "").ends_with(verbosityLine(verbosity)));
        EXPECT_EQ(session["tools"], ToolDispatcher::schema());
        EXPECT_EQ(session["output_modalities"], json::array({modality}));
        EXPECT_EQ(session["audio"]["output"]["voice"], voice);
    }
};

TEST_F(VoiceSession, SpeechIsStreamedInRealTimeAndTheConnectedTimeIsReportedOnInterrupt)
{
    setSetting("twk.voice", "cedar");
    setSetting("twk.verbosity", "normal");
    startServer({{"steps",
                  {{{"on", {{"vad", "speech_stopped"}}},
                    {"send",
                     {{"type", "conversation.item.input_audio_transcription.completed"},
                      {"transcript", "make a plan for the report"}}}}}}});
    auto app = startSession(speechWav("Please make a plan for the quarterly report."));
    // The server heard the end of the utterance in what the microphone sent.
    ASSERT_TRUE(app->waitForOutput("you: make a plan for the report\n", 20s)) << app->output() << serverLog();
    std::this_thread::sleep_for(1500ms);
    app->sendSignal(SIGINT);
    ASSERT_EQ(app->waitForExit(15s), 0) << app->output();
    const std::string out = app->output();

    const std::string log = serverLog();
    EXPECT_EQ(occurrences(log, "credential for " + shortUserId()), 1u) << log;
    expectConfiguredFor(Verbosity::normal, "cedar", "audio");

    // The microphone is streamed as captured, 48 bytes per millisecond. The
    // first half second is left out: what was captured while the socket
    // opened may arrive at once.
    const auto appends = recorded("input_audio_buffer.append");
    ASSERT_GT(appends.size(), 50u);
    const int64_t from = appends.front()["receivedAt"].get<int64_t>() + 500;
    size_t bytes = 0;
    int64_t first = -1, last = -1;
    for (const json& append : appends) {
        const int64_t at = append["receivedAt"];
        if (at < from) continue;
        // Each append carries what was captured since the one before.
        if (first >= 0) bytes += appendedBytes(append);
        if (first < 0) first = at;
        last = at;
    }
    ASSERT_GT(last - first, 2000) << "too short a stretch to measure";
    const double rate = double(bytes) / double(last - first);
    EXPECT_NEAR(rate, double(bytesPerMs), 0.08 * bytesPerMs) << bytes << " bytes in " << (last - first) << " ms";

    // No reply audio came: the speaker file is still a valid, empty recording.
    const auto speaker = readWav(speakerFile());
    ASSERT_TRUE(speaker.ok()) << speaker.error().description();
    EXPECT_EQ(speaker.value().frames(), 0u);

    // On the way out: the connected time reported, then the figures fetched
    // again and shown, and the server keeps the report.
    std::smatch tracked;
    ASSERT_TRUE(std::regex_search(log.begin(), log.end(), tracked,
                                  std::regex("usage for " + shortUserId() + R"(: \+([0-9.]+) s)")))
        << log;
    const double seconds = std::stod(tracked[1]);
    const double streamed = double(appends.back()["receivedAt"].get<int64_t>() -
                                   recording().front()["receivedAt"].get<int64_t>()) / 1000;
    EXPECT_GE(seconds, streamed - 0.2);
    EXPECT_LE(seconds, streamed + 3);
    const auto statusLine = log.find("status for " + shortUserId(), tracked.position(0));
    EXPECT_NE(statusLine, std::string::npos) << "no status refresh after the report:\n" << log;
    const json status = usageStatus();
    // The server also meters the connection itself and keeps the larger
    // figure; its count may run a little past the client's, never short of it.
    EXPECT_GE(status["usedSeconds"].get<double>(), seconds - 0.06);
    EXPECT_LE(status["usedSeconds"].get<double>(), seconds + 1.0);
    const auto left = static_cast<long long>(status["remainingSeconds"].get<double>());
    EXPECT_TRUE(hasLine(out, "usage: " + std::to_string(left / 60) + "m " + std::to_string(left % 60) +
                                 "s left this month (free plan)"))
        << out;
}

TEST_F(VoiceSession, AToolCallIsAnsweredWithItsResultAndTheReplyIsPlayed)
{
    const std::string reply = speechLikePcm(600);
    wavOf("reply.wav", reply);
    startServer({{"steps",
                  {{{"on", "session.update"},
                    {"send",
                     {{{"type", "response.created"}},
                      {{"type", "response.function_call_arguments.done"},
                       {"call_id", "call_7"},
                       {"name", "set_plan"},
                       {"arguments", R"({"steps":["Open Files","Find the report"]})"}}}}},
                   {{"on", {{"message", {{"type", "conversation.item.create"}, {"item", {{"type", "function_call_output"}}}}}}},
                    {"send", {{"type", "response.done"}}}},
                   {{"on", "response.create"},
                    {"send",
                     {{{"type", "response.created"}},
                      {{"type", "response.output_audio_transcript.done"}, {"transcript", "The plan is ready."}}}}},
                   {{"audio", "reply.wav"}},
                   {{"send", {{"type", "response.done"}}}}}}});
    auto app = startSession(wavOf("quiet.wav", silencePcm(200)));
    ASSERT_TRUE(app->waitForOutput("assistant: The plan is ready.\n", 20s)) << app->output() << serverLog();
    ASSERT_TRUE(app->waitForOutput("playback drained — mic unmuted", 10s)) << app->output();
    app->sendSignal(SIGTERM);
    ASSERT_EQ(app->waitForExit(15s), 0) << app->output();
    const std::string out = app->output();

    const auto results = recorded("conversation.item.create");
    ASSERT_EQ(results.size(), 1u);
    const json& item = results[0]["message"]["item"];
    EXPECT_EQ(item["type"], "function_call_output");
    EXPECT_EQ(item["call_id"], "call_7");
    const json output = json::parse(item.value("output", ""), nullptr, false);
    EXPECT_EQ(output["ok"], true) << item;
    EXPECT_EQ(output["message"], "plan set: 2 steps") << item;
    EXPECT_TRUE(hasLine(out, "activity: Planning…")) << out;

    // The answer was played, as sent, to the speaker.
    const auto file = readWav(speakerFile());
    ASSERT_TRUE(file.ok()) << file.error().description();
    const WavAudio& played = file.value();
    EXPECT_EQ(played.format.sampleRate, 24000);
    EXPECT_NEAR(double(played.frames()), double(reply.size() / 2), 480);
    const auto* samples = reinterpret_cast<const int16_t*>(played.data.data());
    int16_t peak = 0;
    for (size_t i = 0; i < played.frames(); ++i) peak = std::max<int16_t>(peak, samples[i]);
    EXPECT_GT(peak, 8000);
}

} // namespace
} // namespace twk::test
