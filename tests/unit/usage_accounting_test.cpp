#include "app/app_state.h"
#include "fakes/fake_http_client.h"
#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

using test::FakeHttpClient;

class UsageAccountingTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    test::MemorySettings settings;
    FakeHttpClient http;
    Backend backend{http, settings, "http://127.0.0.1:1"};
};

TEST_F(UsageAccountingTest, TheTickCountsDownOncePerSecondToZeroAndRestartsCleanly)
{
    AppState state(settings, loop, &backend);
    state.remainingSeconds.set(2.5);
    state.startSessionTick();
    state.startSessionTick(); // replaces, never doubles
    EXPECT_EQ(loop.pendingTimers(), 1u);
    std::vector<double> seen;
    for (int i = 0; i < 4; ++i) {
        loop.advance(seconds(1));
        seen.push_back(state.remainingSeconds());
    }
    EXPECT_EQ(seen, (std::vector<double>{1.5, 0.5, 0, 0}));
    EXPECT_TRUE(http.requests().empty()); // display only: nothing is reported
    state.sessionTickTimer->invalidate();
    state.remainingSeconds.set(9);
    loop.advance(seconds(3));
    EXPECT_EQ(state.remainingSeconds(), 9);
}

TEST_F(UsageAccountingTest, RefreshPublishesTheFiguresOnTheMainLoop)
{
    AppState state(settings, loop, &backend);
    state.email.set("old@example.org");
    http.respond = [](const HttpRequest&) {
        return FakeHttpClient::reply(
            200, R"({"plan":"pro","quotaSeconds":3600,"usedSeconds":0,"remainingSeconds":3500,"resetAt":5,"linked":false})");
    };
    state.refreshStatus();
    EXPECT_EQ(state.plan(), "") << "asynchronous";
    loop.runPosted();
    EXPECT_EQ(state.plan(), "pro");
    EXPECT_EQ(state.quotaSeconds(), 3600);
    EXPECT_EQ(state.remainingSeconds(), 3500);
    EXPECT_EQ(state.resetAt(), 5);
    EXPECT_EQ(state.linked(), false);
    EXPECT_FALSE(state.email().has_value()); // absent clears the old address
}

TEST_F(UsageAccountingTest, AFailedRefreshChangesNothing)
{
    AppState state(settings, loop, &backend);
    state.plan.set("free");
    state.remainingSeconds.set(42);
    for (auto failure : {FakeHttpClient::reply(500, "{}"), FakeHttpClient::reply(200, "not json"),
                         Expected<HttpResponse>(Error("twk.network", 1, "down"))}) {
        http.respond = [failure](const HttpRequest&) { return failure; };
        state.refreshStatus();
        loop.runPosted();
    }
    EXPECT_EQ(state.plan(), "free");
    EXPECT_EQ(state.remainingSeconds(), 42);
    EXPECT_EQ(http.requests().size(), 3u);
}

TEST_F(UsageAccountingTest, ARefreshFinishingAfterTheStateIsGoneDoesNothing)
{
    {
        AppState state(settings, loop, &backend);
        state.refreshStatus();
        loop.runPosted(); // the request is out, unanswered
        state.startSessionTick();
    }
    for (auto& done : http.takePending())
        done(FakeHttpClient::reply(200, R"({"plan":"p","quotaSeconds":1,"usedSeconds":0,"remainingSeconds":1,"resetAt":0,"linked":true})"));
    loop.advance(seconds(2)); // the tick of the destroyed state must not run either
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

} // namespace
} // namespace twk
