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

TEST_F(SessionLifecycle, ADroppedConnectionIsReplacedWithAFreshCredential)
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
    const std::string log = serverLog();
    EXPECT_EQ(occurrences(log, "credential for " + shortUserId()), 2u) << log;
    EXPECT_LT(log.find("realtime #1 connections[0][1]: dropping"), log.rfind("credential for")) << log;
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
    EXPECT_TRUE(hasLine(out, "tarnwick: the session ended: error: out of minutes")) << out;

    const std::string log = serverLog();
    EXPECT_NE(log.find("credential refused for " + shortUserId() + ": quota used"), std::string::npos) << log;
    EXPECT_TRUE(recording().empty());
    EXPECT_EQ(occurrences(log, "usage for "), 1u) << "nothing more was reported:\n" << log;
    EXPECT_EQ(usageStatus()["usedSeconds"], 900);
}

} // namespace
} // namespace twk::test
