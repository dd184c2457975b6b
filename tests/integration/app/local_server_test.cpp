// With no backend configured, a session starts the local tarnwick-server on
// the built-in loopback origin and talks to it.

#include "integration/process_helpers.h"
#include "voice/wav_file.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace twk::test {
namespace {

TEST(LocalServer, ASessionWithoutAConfiguredBackendStartsTheLocalServer)
{
    const std::string home = std::getenv("HOME");
    {
        WavWriter silence(home + "/silence.wav", 24000);
        silence.write(std::vector<float>(24000, 0.0f));
    }
    ChildProcess session(TARNWICK_EXE,
                         {"session", "--seconds", "2", "--mic-file", home + "/silence.wav", "--speaker-file",
                          home + "/out.wav"},
                         {{"TARNWICK_BACKEND_URL", std::nullopt}, {"TARNWICK_REALTIME_URL", std::nullopt}});
    EXPECT_EQ(session.waitForExit(std::chrono::seconds(20)), 0) << session.output();
    const std::string& out = session.output();
    EXPECT_NE(out.find("[twk] started the local server: "), std::string::npos) << out;
    EXPECT_NE(out.find("status: listening"), std::string::npos) << out;
    EXPECT_NE(out.find("status: off"), std::string::npos) << out;

    // It keeps running for the next session, which finds it already there.
    ChildProcess again(TARNWICK_EXE,
                       {"session", "--seconds", "1", "--mic-file", home + "/silence.wav", "--speaker-file",
                        home + "/out2.wav"},
                       {{"TARNWICK_BACKEND_URL", std::nullopt}, {"TARNWICK_REALTIME_URL", std::nullopt}});
    EXPECT_EQ(again.waitForExit(std::chrono::seconds(20)), 0) << again.output();
    EXPECT_EQ(again.output().find("started the local server"), std::string::npos) << again.output();
}

} // namespace
} // namespace twk::test
