// The agent endpoints of the real tarnwick-server over loopback: what they
// refuse (and that refusing leaves the task intact), the browser extension's
// cross-origin access, and the bound on tasks kept.

#include "integration/server/raw_http.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <QTemporaryDir>

namespace twk {
namespace {

using nlohmann::json;
using test::rawRequest;

const std::string extension = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";
const std::string screen = "\n\n--- CURRENT SCREEN ---\nFRONT APP: fixture\n\nINTERACTIVE ELEMENTS (1) \u2014 act on these by id "
                           "with click/set_value:\n  [1] button \"Save\"";

class ServerAgentTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    test::ServerProcess server_{dir_.path().toStdString() + "/data"};

    test::RawResponse post(const std::string& path, const json& body, const std::string& headers = "")
    {
        return rawRequest(server_.port(), test::jsonPost(path, body.dump(), headers));
    }
    json start(const std::string& userId = test::testUserId)
    {
        const auto r = post("/api/agent/start", {{"userId", userId}, {"description", "press Save" + screen},
                                                 {"displayWidth", 0}, {"displayHeight", 0}});
        EXPECT_EQ(r.status, 200) << r.body;
        return json::parse(r.body, nullptr, false);
    }
    test::RawResponse next(const json& round, json results)
    {
        return post("/api/agent/continue", {{"userId", test::testUserId}, {"sessionId", round["sessionId"]}, {"toolResults", results}});
    }
};

TEST_F(ServerAgentTest, BadRoundsAreRefusedClearlyAndTheTaskGoesOn)
{
    const json round = start();
    const std::string click = round["toolUses"][0]["id"], read = round["toolUses"][1]["id"];
    const auto expect = [](const test::RawResponse& r, int status, const std::string& words) {
        EXPECT_EQ(r.status, status) << r.body;
        EXPECT_NE(json::parse(r.body, nullptr, false).value("error", "").find(words), std::string::npos) << r.body;
    };
    expect(next(round, json::object()), 400, "toolResults must be an array");
    expect(next(round, {{{"tool_use_id", click}, {"text", 5}, {"isError", false}}}), 400, "text must be a string");
    expect(next(round, {{{"tool_use_id", "toolu_other"}, {"isError", false}}}), 400, "answers no tool use");
    expect(next(round, {{{"tool_use_id", click}, {"isError", false}}, {{"tool_use_id", click}, {"isError", false}}}), 400, "twice");
    expect(next(round, {{{"tool_use_id", click}, {"isError", false}, {"image", {{"base64", "not base64!"}, {"mediaType", "image/png"}}}}}),
           400, "not base64");
    expect(next({{"sessionId", "agent_0000"}}, json::array()), 404, "no such agent session");
    expect(post("/api/agent/start", {{"userId", test::testUserId}, {"description", "x"}, {"tools", {"click", "format_disk"}}}), 400,
           "unknown tool");
    expect(post("/api/agent/start", {{"userId", test::testUserId}, {"description", "press Save"},
                                     {"screenshot", std::string(7 * 1024 * 1024, 'A')}}),
           413, "screenshot is larger");
    EXPECT_EQ(post("/api/agent/start", {{"userId", test::testUserId}, {"description", std::string(9 * 1024 * 1024, 'a')}}).status, 413);

    // None of that touched the task: its round is still open and completes.
    const auto done = next(round, {{{"tool_use_id", click}, {"text", "pressed"}, {"isError", false}},
                                   {{"tool_use_id", read}, {"text", screen}, {"isError", false}}});
    ASSERT_EQ(done.status, 200) << done.body;
    EXPECT_TRUE(json::parse(done.body)["done"].get<bool>());
}

TEST_F(ServerAgentTest, ABrowserExtensionMayCallTheAgentButWebPagesMayNot)
{
    const auto preflight = rawRequest(server_.port(), "OPTIONS /api/agent/start HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: " + extension +
                                                          "\r\nAccess-Control-Request-Method: POST\r\nAccess-Control-Request-Headers: content-type\r\n\r\n");
    EXPECT_EQ(preflight.status, 204);
    EXPECT_EQ(preflight.headers.at("access-control-allow-origin"), extension);
    EXPECT_NE(preflight.headers.at("access-control-allow-headers").find("Content-Type"), std::string::npos);
    EXPECT_NE(preflight.headers.at("access-control-allow-methods").find("POST"), std::string::npos);

    const json body = {{"userId", test::testUserId}, {"description", "press Save" + screen}, {"tools", {"click", "read_screen"}}};
    const auto fromExtension = post("/api/agent/start", body, "Origin: " + extension + "\r\n");
    EXPECT_EQ(fromExtension.status, 200) << fromExtension.body;
    EXPECT_EQ(fromExtension.headers.at("access-control-allow-origin"), extension);

    for (const std::string origin : {"https://example.com", "null", "chrome-extension://../x"}) {
        const auto fromPage = post("/api/agent/start", body, "Origin: " + origin + "\r\n");
        EXPECT_EQ(fromPage.status, 403) << origin;
        EXPECT_FALSE(fromPage.headers.contains("access-control-allow-origin")) << origin;
    }
    // Only the agent is open to extensions.
    EXPECT_EQ(post("/api/realtime/session", {{"userId", test::testUserId}}, "Origin: " + extension + "\r\n").status, 403);
}

TEST_F(ServerAgentTest, AnInstallationKeepsABoundedNumberOfTasks)
{
    const json first = start();
    for (int i = 0; i < 8; ++i) start();
    EXPECT_EQ(next(first, json::array()).status, 404) << "the oldest task made room";
    const std::string other = "0a1b2c3d-1b7d-4c11-9a53-0d6f0e1a2b3c";
    EXPECT_EQ(start(other).value("done", true), false) << "other installations are not affected";
}

} // namespace
} // namespace twk
