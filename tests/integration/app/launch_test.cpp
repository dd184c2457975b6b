// The real `tarnwick` executable on a real X server (tests/harness/desktop.sh).

#include "integration/loopback_http_server.h"
#include "integration/process_helpers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

namespace twk::test {
namespace {

constexpr const char* exe = TARNWICK_EXE;
constexpr const char* launched = "[twk] MenuBarController constructed";

TEST(Launch, ASecondLaunchHandsItsUrlsToTheRunningInstanceAndExits)
{
    LoopbackHttpServer backend([](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Response{200, R"({"plan":"free","quotaSeconds":900,"usedSeconds":0,)"
                                                 R"("remainingSeconds":900,"resetAt":0,"linked":false})"};
    });
    ChildProcess first(exe, {}, {{"TARNWICK_BACKEND_URL", backend.origin()}});
    ASSERT_TRUE(first.waitForOutput(launched)) << first.output();
    EXPECT_NE(first.output().find("[twk] applicationDidFinishLaunching fired"), std::string::npos);

    ChildProcess second(exe, {"tarnwick://refresh", "tarnwick://elsewhere"});
    EXPECT_EQ(second.waitForExit(), 0) << second.output();
    ASSERT_TRUE(first.waitForOutput("[twk] handle URL: tarnwick://elsewhere")) << first.output();
    const std::string& log = first.output();
    const auto refreshUrl = log.find("[twk] handle URL: tarnwick://refresh");
    ASSERT_NE(refreshUrl, std::string::npos);
    EXPECT_LT(refreshUrl, log.find("[twk] handle URL: tarnwick://elsewhere"));
    // Only the refresh URL reaches the backend, as one status request.
    ASSERT_TRUE(backend.waitForRequests(1));
    const auto requests = backend.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_TRUE(requests[0].target.starts_with("/api/usage/status?userId=")) << requests[0].target;

    ChildProcess third(exe, {});
    EXPECT_EQ(third.waitForExit(), 0);
    EXPECT_NE(third.output().find("Tarnwick is already running."), std::string::npos);

    first.sendSignal(SIGTERM);
    EXPECT_EQ(first.waitForExit(), 0);
    EXPECT_NE(first.output().find("[twk] quitting on SIGTERM"), std::string::npos);

    // The lock went with the first instance: the next launch is the primary.
    ChildProcess next(exe, {"tarnwick://x/refresh"});
    ASSERT_TRUE(next.waitForOutput("[twk] handle URL: tarnwick://x/refresh")) << next.output();
    const std::string& nextLog = next.output();
    EXPECT_LT(nextLog.find(launched), nextLog.find("[twk] handle URL"));
}

TEST(Launch, ARelaunchedInstanceWaitsForTheRunningOneToQuit)
{
    ChildProcess old(exe, {});
    ASSERT_TRUE(old.waitForOutput(launched)) << old.output();
    ChildProcess relaunched(exe, {"--wait-for-instance"});
    EXPECT_FALSE(relaunched.waitForOutput(launched, std::chrono::milliseconds(500)));
    old.sendSignal(SIGINT);
    EXPECT_EQ(old.waitForExit(), 0);
    EXPECT_TRUE(relaunched.waitForOutput(launched)) << relaunched.output();
}

TEST(Launch, AnswersOrRefusesBeforeShowingAnythingWithItsExitStatus)
{
    const struct {
        std::vector<std::string> args;
        std::map<std::string, std::optional<std::string>> env;
        int status;
        std::string says;
    } cases[] = {
        {{"--help"}, {}, 0, "Usage: tarnwick"},
        {{"--version"}, {}, 0, "tarnwick "},
        {{"frobnicate"}, {}, 2, "unknown command 'frobnicate'"},
        {{}, {{"DISPLAY", std::nullopt}}, 1, "no X11 display: DISPLAY is not set"},
        {{}, {{"DISPLAY", ":4097"}}, 1, "cannot connect to the X11 display \":4097\""},
        {{}, {{"TARNWICK_BACKEND_URL", "ftp://example.org"}}, 1,
         "TARNWICK_BACKEND_URL \"ftp://example.org\" must start with http or https://"},
    };
    for (const auto& c : cases) {
        ChildProcess run(exe, c.args, c.env);
        EXPECT_EQ(run.waitForExit(), c.status) << c.says;
        EXPECT_NE(run.output().find(c.says), std::string::npos) << run.output();
        EXPECT_EQ(run.output().find(launched), std::string::npos) << run.output();
    }
}

TEST(Launch, PermissionsReportWhatThisDesktopAllows)
{
    // Xvfb lets any client read pixels; no sound server answers on this socket.
    // Something missing is a failure that says how to fix it.
    ChildProcess here(exe, {"permissions"}, {{"PULSE_SERVER", "unix:/nonexistent/native"}});
    EXPECT_EQ(here.waitForExit(), 1);
    EXPECT_NE(here.output().find("screen recording: granted"), std::string::npos) << here.output();
    EXPECT_NE(here.output().find("microphone: missing\n  to fix: start the sound server"), std::string::npos)
        << here.output();
    EXPECT_EQ(occurrences(here.output(), "to fix:"), 1u) << here.output();

    ChildProcess noDisplay(exe, {"permissions"}, {{"DISPLAY", std::nullopt}});
    EXPECT_EQ(noDisplay.waitForExit(), 1);
    EXPECT_NE(noDisplay.output().find("screen recording: missing\n  to fix: needs an X11 session"), std::string::npos)
        << noDisplay.output();

    // The accessibility fix, run as printed, grants it.
    ChildProcess off("/usr/bin/dbus-send", {"--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                            "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                                            "string:IsEnabled", "variant:boolean:false"});
    ASSERT_EQ(off.waitForExit(), 0) << off.output();
    ChildProcess disabled(exe, {"permissions"});
    disabled.waitForExit();
    const std::string& report = disabled.output();
    const auto command = report.find("dbus-send ");
    const auto end = report.find(" (", command);
    ASSERT_NE(end, std::string::npos) << report;
    std::vector<std::string> words;
    std::istringstream fix(report.substr(command, end - command));
    for (std::string word; fix >> word;) words.push_back(word);
    ChildProcess on("/usr/bin/dbus-send", {words.begin() + 1, words.end()});
    ASSERT_EQ(on.waitForExit(), 0) << on.output();
    ChildProcess after(exe, {"permissions"});
    after.waitForExit();
    EXPECT_NE(after.output().find("accessibility: granted"), std::string::npos) << after.output();
}

} // namespace
} // namespace twk::test
