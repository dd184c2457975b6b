// A spoken page task with nothing scripted: the running app, the companion
// extension in headless Chromium and the real tarnwick-server's local planner.

#include "integration/chromium_with_extension.h"
#include "integration/loopback_http_server.h"
#include "integration/server/server_process.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace twk::test {
namespace {

TEST(PageTaskWithTheLocalPlanner, TheSearchBoxIsFilledAndItsButtonPressedInTheRealPage)
{
    const char* bridgePort = std::getenv("TARNWICK_BRIDGE_PORT"); // the test desktop's own
    ASSERT_NE(bridgePort, nullptr);
    LoopbackHttpServer site([](const LoopbackHttpServer::Request& request) {
        if (request.target == "/search.html")
            return LoopbackHttpServer::Response{200,
                                                "<!doctype html><title>Find</title><form action='/results'>"
                                                "<label>Search <input name='q'></label><button>Search</button></form>",
                                                "text/html", {}};
        return LoopbackHttpServer::Response{200, "<!doctype html><title>Results</title>", "text/html", {}};
    });
    ServerProcess server(std::string(std::getenv("HOME")) + "/agent-server");
    ChildProcess app(TARNWICK_EXE, {}, {{"TARNWICK_BACKEND_URL", server.origin()}});
    ASSERT_TRUE(app.waitForOutput("[twk/chrome] WS server listening", std::chrono::seconds(20))) << app.output();
    ChromiumWithExtension browser(static_cast<std::uint16_t>(std::stoi(bridgePort)), site.origin() + "/search.html",
                                  server.origin());

    const auto answer =
        browserToolAnswer("web_command", {{"task", "type hello in the search box and press the search button"}});
    ASSERT_TRUE(answer.is_object()) << app.output() << "\nthe browser said:\n" << browser.output();
    EXPECT_EQ(answer.value("ok", false), true) << answer.dump();
    bool searched = false;
    for (const auto& request : site.requests()) searched = searched || request.target == "/results?q=hello";
    EXPECT_TRUE(searched) << answer.dump() << "\n" << server.process().output();
}

} // namespace
} // namespace twk::test
