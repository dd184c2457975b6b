// `tarnwick session` against the real tarnwick-server when the connection is
// lost or no credential is granted.

#include "integration/app/session_fixture.h"

#include "fakes/pcm_signals.h"

#include <csignal>

namespace twk::test {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

using SessionLifecycle = SessionFixture;

TEST_F(SessionLifecycle, ADroppedConnectionIsReplacedASecondLaterWithAFreshCredential)
{
    startServer({{"connections",
                  {{{{"on", "input_audio_buffer.append"}}, {{"on", {{"delay", 0.5}}}, {"drop", true}}},
                   {{{"on", "session.update"},
                     {"send",
                      {{"type", "conversation.item.input_audio_transcription.completed"}, {"transcript", "back again"}}}}}}}});
    auto app = startSession(wavOf("quiet.wav", silencePcm(200)));
    ASSERT_TRUE(app->waitForOutput("you: back again\n", 20s)) << app->output() << serverLog();
    app->sendSignal(SIGTERM);
    ASSERT_EQ(app->waitForExit(15s), 0) << app->output();
    const std::string out = app->output();
    const std::string log = serverLog();

    EXPECT_EQ(occurrences(log, "credential for " + shortUserId()), 2u) << log;
    EXPECT_LT(log.find("realtime #1 connections[0][1]: dropping"), log.rfind("credential for")) << log;
    EXPECT_NE(log.find("realtime #2 connected"), std::string::npos) << log;
    EXPECT_TRUE(hasLine(out, "[twk/session] reconnecting (attempt 1/4)")) << out;
    const auto reconnecting = out.find("activity: reconnecting…\n");
    ASSERT_NE(reconnecting, std::string::npos) << out;
    EXPECT_LT(out.find("status: connecting\n", out.find("status: listening\n")), reconnecting) << out;
    EXPECT_LT(reconnecting, out.find("you: back again")) << out;

    // The new connection was set up a second after the old one fell silent.
    int64_t lastOfFirst = 0, firstOfSecond = 0;
    for (const json& line : recording()) {
        if (line["connection"] == 1) lastOfFirst = line["receivedAt"];
        if (line["connection"] == 2 && firstOfSecond == 0) {
            firstOfSecond = line["receivedAt"];
            EXPECT_EQ(line["type"], "session.update");
        }
    }
    ASSERT_GT(firstOfSecond, 0);
    EXPECT_GE(firstOfSecond - lastOfFirst, 950);
    EXPECT_LE(firstOfSecond - lastOfFirst, 2500);

    // Each connection's time is reported: at the reconnect and at the stop.
    EXPECT_EQ(occurrences(log, "usage for " + shortUserId() + ": +"), 2u) << log;
}

TEST_F(SessionLifecycle, ARefusedCredentialEndsTheSessionWithTheQuotaMessage)
{
    startServer({{"steps", {{{"send", {{"type", "response.created"}}}}}}});
    trackUsage(900); // the month's free minutes, used up
    auto app = startSession(wavOf("quiet.wav", silencePcm(200)), {"--seconds", "10"});
    ASSERT_EQ(app->waitForExit(15s), 1) << app->output();
    const std::string out = app->output();
    EXPECT_TRUE(hasLine(out, "status: error: out of minutes")) << out;
    EXPECT_TRUE(hasLine(out, "tarnwick: the session ended: error: out of minutes")) << out;
    EXPECT_EQ(out.find("status: listening"), std::string::npos) << out;

    const std::string log = serverLog();
    EXPECT_NE(log.find("credential refused for " + shortUserId() + ": quota used"), std::string::npos) << log;
    EXPECT_EQ(log.find("realtime #1"), std::string::npos) << log;
    EXPECT_TRUE(recording().empty());
    EXPECT_EQ(occurrences(log, "usage for "), 1u) << "nothing more was reported:\n" << log;
    EXPECT_EQ(usageStatus()["usedSeconds"], 900);
}

} // namespace
} // namespace twk::test
