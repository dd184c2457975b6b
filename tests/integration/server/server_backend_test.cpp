// The application's own backend client against the real tarnwick-server:
// the wire shapes must agree byte for byte in both directions.

#include "backend/backend.h"
#include "fakes/memory_settings.h"
#include "fakes/run_task.h"
#include "integration/server/realtime_test_client.h"
#include "integration/server/server_process.h"
#include "platform/linux/qt_http_client.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <ctime>

namespace twk {
namespace {

using test::runTask;
using test::ServerProcess;

/// Start of the next calendar month in UTC, in ms: when the free minutes come back.
double nextMonthStartMs()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    std::tm next{};
    next.tm_year = t.tm_mon == 11 ? t.tm_year + 1 : t.tm_year;
    next.tm_mon = (t.tm_mon + 1) % 12;
    next.tm_mday = 1;
    return double(timegm(&next)) * 1000;
}

class ServerBackendTest : public ::testing::Test {
protected:
    QTemporaryDir dataDir;
    test::VirtualMainLoop loop;
    test::MemorySettings settings;
    QtHttpClient http;

    std::string data() const { return dataDir.path().toStdString() + "/data"; }
};

TEST_F(ServerBackendTest, MintStatusAndTrackRoundTrip)
{
    ServerProcess server(data());
    Backend backend(http, settings, server.origin());

    const auto before = std::time(nullptr);
    const SessionMint mint = runTask(loop, backend.mintSession());
    EXPECT_TRUE(mint.clientSecret.starts_with("twk_cs_"));
    EXPECT_GE(mint.clientSecret.size(), 40u);
    EXPECT_GE(mint.expiresAt, before + 600);
    EXPECT_LE(mint.expiresAt, std::time(nullptr) + 601);
    EXPECT_EQ(mint.model, "tarnwick-local");
    EXPECT_EQ(mint.plan, "free");
    EXPECT_EQ(mint.quotaSeconds, 900);
    EXPECT_EQ(mint.remainingSeconds, 900);
    EXPECT_NE(runTask(loop, backend.mintSession()).clientSecret, mint.clientSecret);

    runTask(loop, backend.trackUsage(125.5));
    runTask(loop, backend.trackUsage(4.5, std::map<std::string, int64_t>{{"input", 12}}));
    const Status status = runTask(loop, backend.fetchStatus());
    EXPECT_EQ(status.plan, "free");
    EXPECT_EQ(status.quotaSeconds, 900);
    EXPECT_EQ(status.usedSeconds, 130);
    EXPECT_EQ(status.remainingSeconds, 770);
    EXPECT_EQ(status.resetAt, nextMonthStartMs());
    EXPECT_FALSE(status.linked);
    EXPECT_FALSE(status.email.has_value());

    // Another installation has its own minutes.
    test::MemorySettings other;
    Backend otherBackend(http, other, server.origin());
    EXPECT_EQ(runTask(loop, otherBackend.fetchStatus()).usedSeconds, 0);
}

TEST_F(ServerBackendTest, AUsedUpQuotaIsRefusedAsAQuotaError)
{
    ServerProcess server(data());
    Backend backend(http, settings, server.origin());
    runTask(loop, backend.trackUsage(899.75));
    EXPECT_EQ(runTask(loop, backend.mintSession()).remainingSeconds, 0.25);

    runTask(loop, backend.trackUsage(60)); // a session that ran past the end
    try {
        runTask(loop, backend.mintSession());
        FAIL() << "minted beyond the quota";
    } catch (const QuotaError& q) {
        EXPECT_FALSE(q.error.empty());
        EXPECT_EQ(q.plan, "free");
        EXPECT_EQ(q.remainingSeconds, 0.0);
    }
    const Status status = runTask(loop, backend.fetchStatus());
    EXPECT_EQ(status.remainingSeconds, 0);
    EXPECT_EQ(status.usedSeconds, 959.75);
}

TEST_F(ServerBackendTest, UsageAndCredentialsSurviveARestart)
{
    std::string secret;
    {
        ServerProcess first(data());
        Backend backend(http, settings, first.origin());
        secret = runTask(loop, backend.mintSession()).clientSecret;
        runTask(loop, backend.trackUsage(61.5));
        EXPECT_EQ(first.stop(), 0);
        EXPECT_NE(first.process().output().find("[twk/server] stopped"), std::string::npos);
    }
    ServerProcess second(data());
    Backend backend(http, settings, second.origin());
    EXPECT_EQ(runTask(loop, backend.fetchStatus()).usedSeconds, 61.5);
    test::RealtimeTestClient client;
    EXPECT_TRUE(client.open(second.realtimeOrigin(), secret));
}

TEST_F(ServerBackendTest, AgentRoundsWithTheLocalPlannerRunATaskToItsVerifiedEnd)
{
    ServerProcess server(data());
    Backend backend(http, settings, server.origin());
    const std::string off = "FRONT APP: fixture\n\nINTERACTIVE ELEMENTS (2) \u2014 act on these by id with click/set_value:\n"
                            "  [1] button \"Save\"\n  [2] checkbox \"Dark mode\" value=\"0\"";
    const std::string on = "FRONT APP: fixture\n\nINTERACTIVE ELEMENTS (2) \u2014 act on these by id with click/set_value:\n"
                           "  [1] button \"Save\"\n  [2] checkbox \"Dark mode\" value=\"1\" \u2713selected";
    const AgentRound first =
        runTask(loop, backend.agentStart("turn on Dark mode\n\n--- CURRENT SCREEN ---\n" + off, std::nullopt, 0, 0));
    EXPECT_FALSE(first.done);
    ASSERT_EQ(first.toolUses.size(), 2u);
    EXPECT_EQ(first.toolUses[0].name, "click");
    EXPECT_EQ(first.toolUses[0].inputJSON, R"({"id":2})");

    const AgentRound done = runTask(loop, backend.agentContinue(first.sessionId, {{first.toolUses[0].id, "pressed", std::nullopt, false},
                                                                                   {first.toolUses[1].id, on, std::nullopt, false}}));
    EXPECT_TRUE(done.done);
    EXPECT_EQ(done.sessionId, first.sessionId);
    const AgentRound verdict = runTask(loop, backend.agentVerify(first.sessionId, "Check.\n\n--- CURRENT SCREEN ---\n" + on, std::nullopt));
    EXPECT_EQ(verdict.text, "Confirmed: \u201cDark mode\u201d is on.");
    EXPECT_EQ(verdict.inputTokens, 0);

    try { // another installation cannot continue it
        test::MemorySettings other;
        runTask(loop, Backend(http, other, server.origin()).agentContinue(first.sessionId, {}));
        FAIL() << "continued someone else's task";
    } catch (const Error& e) {
        EXPECT_EQ(e.domain(), "twk.agent");
        EXPECT_EQ(e.code(), 404);
        EXPECT_TRUE(e.description().starts_with("agent {\"error\":")) << e.description();
    }
}

} // namespace
} // namespace twk
