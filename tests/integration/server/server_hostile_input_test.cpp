// Messages built to hurt the server: nesting deep enough to overflow a
// recursive walk, and text meant to forge log lines. The server answers with
// an error and carries on.

#include "integration/server/realtime_test_client.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace twk {
namespace {

using nlohmann::json;
using test::RealtimeTestClient;
using test::ServerProcess;

std::string nested(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

class ServerHostileInputTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ServerProcess server{dir.path().toStdString()};
    RealtimeTestClient client;

    void SetUp() override { ASSERT_TRUE(client.open(server.realtimeOrigin(), test::mintSecret(server.port()))); }
    void TearDown() override { EXPECT_EQ(server.stop(), 0) << server.process().output(); }
};

TEST_F(ServerHostileInputTest, DeepNestingIsRefusedWithAnErrorNotACrash)
{
    const std::string deep = nested(70'000);
    for (const std::string& text : {R"({"type":"session.update","session":)" + deep + "}",
                                    R"({"type":"response.create","event_id":)" + deep + "}"}) {
        const size_t mark = client.events().size();
        client.sendText(text);
        const auto error = client.waitFor("error", mark);
        ASSERT_TRUE(error) << server.process().output();
        EXPECT_EQ((*error)["error"]["code"], "invalid_json");
    }
    // A sane depth still works on the same socket.
    const size_t mark = client.events().size();
    client.send({{"type", "session.update"}, {"session", json::parse(nested(20))}});
    EXPECT_TRUE(client.waitFor("session.updated", mark));

    auto r = test::rawRequest(server.port(), test::jsonPost("/api/usage/track", R"({"userId":)" + deep + "}"));
    EXPECT_EQ(r.status, 400);
    EXPECT_NE(r.body.find("nested deeper"), std::string::npos) << r.body;
    EXPECT_EQ(test::rawRequest(server.port(), test::getRequest("/api/health")).status, 200);
}

TEST_F(ServerHostileInputTest, ControlCharactersInAMessageCannotForgeALogLine)
{
    const std::string forged = "[twk/server] credential for forged";
    client.sendText(json{{"type", "x\n" + forged + std::string("\0z", 2)}}.dump());
    ASSERT_TRUE(client.waitFor("error"));
    ASSERT_TRUE(server.process().waitForOutput("unknown message type"));
    const std::string& log = server.process().output();
    EXPECT_EQ(log.find("\n" + forged), std::string::npos) << log;
    EXPECT_EQ(log.find('\0'), std::string::npos);
}

} // namespace
} // namespace twk
