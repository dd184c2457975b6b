// Limits the server enforces itself, whatever the client reports: how fast
// credentials are handed out, and how long a realtime session may run.

#include "integration/server/realtime_test_client.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace twk {
namespace {

using nlohmann::json;
using test::jsonPost;

class ServerQuotaTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string data() const { return dir.path().toStdString() + "/data"; }
    static std::string userBody(const std::string& user) { return R"({"userId":")" + user + R"("})"; }
};

TEST_F(ServerQuotaTest, MintingIsRateLimitedPerInstallation)
{
    test::ServerProcess server(data());
    const std::string other = "0b9d8e7f-6a5b-4c3d-8e1f-2a3b4c5d6e7f";
    int granted = 0;
    test::RawResponse refused;
    for (int i = 0; i < 20 && refused.status == 0; ++i) {
        auto r = test::rawRequest(server.port(), jsonPost("/api/realtime/session", userBody(test::testUserId)));
        if (r.status == 200) ++granted;
        else refused = r;
    }
    EXPECT_GE(granted, 5);
    EXPECT_EQ(refused.status, 429);
    EXPECT_GE(std::stoi(refused.headers["retry-after"]), 1);
    // Another installation is not held back by the first one's burst.
    EXPECT_EQ(test::rawRequest(server.port(), jsonPost("/api/realtime/session", userBody(other))).status, 200);
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServerQuotaTest, TheServerEndsALiveSessionWhenTheQuotaIsUsedUp)
{
    test::ServerProcess server(data());
    const auto track = [&](double seconds) {
        return test::rawRequest(server.port(), jsonPost("/api/usage/track", R"({"userId":")" + test::testUserId +
                                                                               R"(","seconds":)" + std::to_string(seconds) + "}"));
    };
    const std::string early = test::mintSecret(server.port());
    ASSERT_EQ(track(898.5).status, 200);
    const std::string secret = test::mintSecret(server.port());
    test::RealtimeTestClient first, second, third;
    ASSERT_TRUE(first.open(server.realtimeOrigin(), secret));
    ASSERT_TRUE(second.open(server.realtimeOrigin(), secret));
    EXPECT_FALSE(third.open(server.realtimeOrigin(), secret)) << "one credential cannot fan out";

    // About a second and a half is left: the server, not the client, ends both sessions.
    const auto error = first.waitFor("error", 0, std::chrono::seconds(10));
    ASSERT_TRUE(error);
    EXPECT_EQ((*error)["error"]["code"], "quota_exceeded");
    ASSERT_TRUE(first.waitForDisconnect());
    EXPECT_EQ(first.closeCode(), int(QWebSocketProtocol::CloseCodePolicyViolated));
    EXPECT_TRUE(second.waitForDisconnect());

    // The used-up quota also holds against a credential minted before it ran out.
    test::RealtimeTestClient late;
    EXPECT_FALSE(late.open(server.realtimeOrigin(), early));
    auto status = test::rawRequest(server.port(), test::getRequest("/api/usage/status?userId=" + test::testUserId));
    EXPECT_EQ(json::parse(status.body)["remainingSeconds"], 0);
    EXPECT_EQ(server.stop(), 0);
}

} // namespace
} // namespace twk
