#include "bridge/chrome_bridge.h"
#include "common/log.h"
#include "fakes/fake_websocket_listener.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

namespace twk {
namespace {

using test::FakeListenerConnection;
using Outcome = std::shared_ptr<std::optional<Expected<std::string>>>;

class ChromeBridgeTest : public ::testing::Test {
protected:
    void SetUp() override { bridge.start(); }

    Outcome ask(const std::string& method = "command", Duration timeout = seconds(60))
    {
        return test::startTask(loop, bridge.request(method, {{"task", "find flights"}}, timeout));
    }
    /// The id of the `n`th request sent on `connection`.
    static std::string idOf(const FakeListenerConnection& connection, size_t n = 0)
    {
        return nlohmann::json::parse(connection.sentTexts.at(n))["id"];
    }
    void answer(FakeListenerConnection& connection, const std::string& json)
    {
        connection.receive(json);
        loop.runPosted();
    }
    static std::string text(const Outcome& outcome) { return outcome->value().value(); }
    static int code(const Outcome& outcome) { return outcome->value().error().code(); }

    std::vector<std::string> logged;
    LogCapture capture{[this](const std::string& line) { logged.push_back(line); }};
    test::VirtualMainLoop loop;
    test::FakeWebSocketListener listener;
    ChromeBridge bridge{loop, listener, ExtensionOriginPolicy()};
};

TEST_F(ChromeBridgeTest, StartsOnceOnLoopbackAndRefusesRequestsUntilAnExtensionIsReady)
{
    bridge.start();
    EXPECT_EQ(listener.listens, 1);
    EXPECT_TRUE(listener.options.loopbackOnly);
    EXPECT_EQ(listener.options.port, ChromeBridge::port);
    EXPECT_FALSE(listener.options.acceptOrigin("http://example.com")) << "a web page never gets in";
    EXPECT_EQ(logged, std::vector<std::string>({"[twk/chrome] WS server listening on ws://127.0.0.1:28371",
                                                "[twk/chrome] refused a connection from http://example.com"}));

    auto outcome = ask();
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ(code(outcome), 0);

    auto connection = std::make_shared<FakeListenerConnection>();
    listener.onConnection(connection);
    EXPECT_EQ(code(ask()), 0) << "connected only once the handshake reports ready";
    EXPECT_TRUE(connection->sentTexts.empty());
}

TEST_F(ChromeBridgeTest, AFailedStartIsLoggedAndLeavesRequestsFailingAsNotConnected)
{
    test::FakeWebSocketListener busy;
    busy.failure = "address in use";
    ChromeBridge other{loop, busy, ExtensionOriginPolicy()};
    other.start();
    EXPECT_FALSE(other.isListening());
    EXPECT_EQ(logged.back(), "[twk/chrome] start failed: address in use");
    EXPECT_EQ(code(test::startTask(loop, other.request("navigate", {}, seconds(15)))), 0);
}

TEST_F(ChromeBridgeTest, AnswersCompleteTheirRequestOnceWithTheResultText)
{
    auto connection = listener.connect();
    auto first = ask("navigate");
    auto second = ask();
    auto third = ask();
    auto fourth = ask();
    ASSERT_EQ(connection->sentTexts.size(), 4u);
    const auto sent = nlohmann::json::parse(connection->sentTexts[0]);
    EXPECT_EQ(sent["method"], "navigate");
    EXPECT_EQ(sent["params"], nlohmann::json({{"task", "find flights"}}));
    EXPECT_TRUE(std::regex_match(sent["id"].get<std::string>(),
                                 std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")));
    EXPECT_NE(idOf(*connection, 0), idOf(*connection, 1));

    // Nothing a stranger sends completes anything.
    for (const char* junk : {"not json", "[1,2]", R"({"result":{}})", R"({"id":7,"result":{}})",
                             R"({"id":"NOT-A-REQUEST","result":{}})"})
        answer(*connection, junk);
    EXPECT_FALSE(first->has_value());

    answer(*connection, R"({"id":")" + idOf(*connection, 0) + R"(","result":{"url":"https://a.example/","n":1}})");
    answer(*connection, R"({"id":")" + idOf(*connection, 0) + R"(","result":{"url":"second answer"}})");
    answer(*connection, R"({"id":")" + idOf(*connection, 1) + R"(","error":{"why":"not a string"}})");
    answer(*connection, R"({"id":")" + idOf(*connection, 2) + R"(","result":"bare text"})");
    answer(*connection, R"({"id":")" + idOf(*connection, 3) + R"(","error":"no such tab"})");
    EXPECT_EQ(text(first), R"({"n":1,"url":"https://a.example/"})");
    EXPECT_EQ(text(second), "{}");
    EXPECT_EQ(text(third), "{}");
    EXPECT_EQ(code(fourth), 1);
    EXPECT_EQ(fourth->value().error().description(), "no such tab");
}

TEST_F(ChromeBridgeTest, ATimedOutRequestFailsWith408AndItsLateAnswerIsIgnored)
{
    auto connection = listener.connect();
    auto outcome = ask("navigate", seconds(15));
    loop.advance(seconds(14.9));
    EXPECT_FALSE(outcome->has_value());
    loop.advance(seconds(0.1));
    loop.runPosted();
    EXPECT_EQ(code(outcome), 408);
    answer(*connection, R"({"id":")" + idOf(*connection) + R"(","result":{}})");
    EXPECT_EQ(code(outcome), 408);
}

TEST_F(ChromeBridgeTest, ASendFailureFailsTheRequestWithTheNetworksError)
{
    auto connection = listener.connect();
    connection->sendFailure = "broken pipe";
    auto outcome = ask();
    loop.runPosted();
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ(outcome->value().error().description(), "broken pipe");
    EXPECT_NE(outcome->value().error().domain(), "twk.chrome");
}

TEST_F(ChromeBridgeTest, ADroppedConnectionFailsEveryWaitingRequest)
{
    auto connection = listener.connect();
    std::vector<Outcome> outcomes{ask(), ask(), ask()};
    connection->fail("connection reset");
    loop.runPosted();
    for (const auto& outcome : outcomes) EXPECT_EQ(code(outcome), -1);
    EXPECT_EQ(logged.back(), "[twk/chrome] connection failed: connection reset");
    EXPECT_FALSE(bridge.isConnected());
    EXPECT_EQ(code(ask()), 0);
}

TEST_F(ChromeBridgeTest, TheNewestConnectionWinsAndTheReplacedOnesLateEventsAreIgnored)
{
    auto first = listener.connect();
    auto waiting = ask();
    auto second = listener.connect();
    loop.runPosted();
    EXPECT_EQ(first->cancels, 1);
    EXPECT_EQ(code(waiting), -1) << "its answer can no longer arrive";

    first->fail("late failure of the old socket");
    first->receive(R"({"id":"X","result":{}})");
    EXPECT_TRUE(bridge.isConnected());
    auto outcome = ask();
    ASSERT_EQ(second->sentTexts.size(), 1u);
    answer(*second, R"({"id":")" + idOf(*second) + R"(","result":{"ok":true}})");
    EXPECT_EQ(text(outcome), R"({"ok":true})");
}

TEST_F(ChromeBridgeTest, UnderMixedTrafficEveryRequestCompletesExactlyOnce)
{
    // Answers, extension errors, late or duplicate answers, timeouts, failed
    // sends and dropped connections, interleaved at random.
    std::mt19937 random(20261207);
    auto connection = listener.connect();
    std::vector<Outcome> outcomes;
    std::vector<std::string> unanswered;
    for (int i = 0; i < 1000; ++i) {
        connection->sendFailure = random() % 50 == 0 ? std::optional<std::string>("broken pipe") : std::nullopt;
        outcomes.push_back(ask("command", seconds(1 + random() % 5)));
        unanswered.push_back(idOf(*connection, connection->sentTexts.size() - 1));
        switch (random() % 8) {
        case 0: answer(*connection, R"({"id":")" + unanswered.back() + R"(","error":"no"})"); break;
        case 1: case 2: answer(*connection, R"({"id":")" + unanswered.back() + R"(","result":{"n":1}})"); break;
        case 3: answer(*connection, R"({"id":")" + unanswered[random() % unanswered.size()] + R"(","result":{}})"); break;
        case 4: loop.advance(seconds(1)); break;
        case 5:
            if (random() % 10 == 0) connection = listener.connect();
            loop.runPosted();
            break;
        default: break;
        }
    }
    connection->fail("gone");
    loop.advance(seconds(10));
    loop.runPosted();
    for (const auto& outcome : outcomes) EXPECT_TRUE(outcome->has_value());
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(ExtensionOriginPolicyTest, LetsInExtensionsOnlyAndTheConfiguredOnesWhenGiven)
{
    const ExtensionOriginPolicy any;
    EXPECT_TRUE(any.accepts("chrome-extension://abcdefghijklmnopabcdefghijklmnop"));
    for (const char* refused : {"", "null", "http://127.0.0.1:8000", "https://evil.example",
                                "chrome-extension://", "chrome-extension://abc/../x", "moz-extension://abc",
                                "chrome-extension://ABC"})
        EXPECT_FALSE(any.accepts(refused)) << refused;

    const ExtensionOriginPolicy only(ExtensionOriginPolicy::parseIds(" aaa, bbb\tccc "));
    EXPECT_TRUE(only.accepts("chrome-extension://bbb"));
    EXPECT_FALSE(only.accepts("chrome-extension://ddd"));
}

TEST(ExtensionOriginPolicyTest, LogsEachRefusedOriginOnce)
{
    std::vector<std::string> logged;
    LogCapture capture([&logged](const std::string& line) { logged.push_back(line); });
    ExtensionOriginPolicy policy;
    EXPECT_FALSE(policy.admit("https://evil.example"));
    EXPECT_FALSE(policy.admit("https://evil.example"));
    EXPECT_FALSE(policy.admit(""));
    EXPECT_EQ(logged, std::vector<std::string>({"[twk/chrome] refused a connection from https://evil.example",
                                                "[twk/chrome] refused a connection from no origin"}));
}

} // namespace
} // namespace twk
