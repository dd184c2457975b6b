#include "common/log.h"
#include "unit/agent/agent_fixture.h"

#include <gmock/gmock.h>

namespace twk {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class AgentLoopTest : public test::AgentFixture {
protected:
    std::vector<std::string> logged;
    LogCapture capture{[this](const std::string& line) { logged.push_back(line); }};
};

TEST_F(AgentLoopTest, ATaskActsThenVerifiesAgainstAFreshSnapshotBeforeSuccess)
{
    script({round(false, "Turning it on", json::array({use("a", "click", {{"id", 1}})})),
            round(true, "Dark mode is on."), round(true, "Confirmed: the Dark mode box is checked.")});
    cancellation.cancel(); // said before the task: not this task's stop
    std::vector<int> stepCounts;
    const auto subscription = state.agentStepCount.subscribe([&](const int& n) { stepCounts.push_back(n); });

    EXPECT_EQ(run("Turn on dark mode"), "Confirmed: the Dark mode box is checked.");

    ASSERT_EQ(http.requests().size(), 3u);
    EXPECT_EQ(path(0), "/api/agent/start");
    const json start = body(0);
    EXPECT_THAT(start["description"].get<std::string>(), StartsWith("Turn on dark mode\n\n--- CURRENT SCREEN ---\n"));
    EXPECT_THAT(start["description"].get<std::string>(), HasSubstr("Dark mode"));
    EXPECT_EQ(start["displayWidth"], 0);
    EXPECT_FALSE(start.contains("screenshot"));
    EXPECT_EQ(capturer.captures, 0);

    EXPECT_EQ(path(1), "/api/agent/continue");
    const json results = body(1)["toolResults"];
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]["tool_use_id"], "a");
    EXPECT_THAT(results[0]["text"].get<std::string>(), StartsWith("clicked mark 1\nelement [1]"));
    EXPECT_EQ(dark->performed, std::vector<std::string>{"AXPress"});

    const json verify = body(2);
    EXPECT_EQ(verify["toolResults"], json::array());
    const std::string prompt = verify["userMessage"]["text"];
    EXPECT_THAT(prompt, StartsWith("The task appears complete. Task was: \"Turn on dark mode\".\nHere is the CURRENT"));
    EXPECT_THAT(prompt, HasSubstr("verdict.\n\n--- CURRENT SCREEN ---\n"));
    EXPECT_THAT(prompt, HasSubstr("Dark mode"));
    EXPECT_FALSE(verify["userMessage"].contains("image"));

    EXPECT_EQ(stepCounts, (std::vector<int>{0, 1, 0})) << "start, the round, the end";
    EXPECT_EQ(state.status(), SessionStatus::acting());
    EXPECT_FALSE(state.agentThinking());
    EXPECT_EQ(state.agentNarrative(), "");
    EXPECT_THAT(logged, ::testing::Contains("[twk/agent] done in 1 steps: Confirmed: the Dark mode box is checked."));
}

TEST_F(AgentLoopTest, OnlyAWindowWithoutElementsIsSentAsAScreenshot)
{
    window->children.clear();
    capturer.image = CapturedImage{"PNG!", 1280, 800};
    script({round(true, ""), round(true, "")});
    EXPECT_EQ(run("Look"), "done") << "empty verdict";
    EXPECT_EQ(body(0)["screenshot"], "UE5HIQ==");
    EXPECT_EQ(body(0)["displayWidth"], 1280);
    EXPECT_EQ(body(0)["displayHeight"], 800);
    EXPECT_THAT(logged, ::testing::Contains("[twk/agent] done in 0 steps: done"));

    // A failed check still reports the model's own closing text.
    script({round(true, "All set")});
    replies.emplace_back(502, "bad gateway");
    EXPECT_EQ(run("Look"), "All set");
    EXPECT_THAT(logged, ::testing::Contains("[twk/agent] verify failed: agent bad gateway"));
}

TEST_F(AgentLoopTest, ThirtyRoundsAreExecutedAndTheNextIsOnlyCheckedForDone)
{
    script({round(false, "")});
    for (int i = 0; i < 30; ++i) script({round(false, "step " + std::to_string(i))});
    EXPECT_EQ(run("Forever"), "agent reached step limit (30) without finishing");
    EXPECT_EQ(http.requests().size(), 31u);
    EXPECT_EQ(body(1)["toolResults"], json::array());
    EXPECT_EQ(state.agentStepCount(), 0);

    script({round(false, "")});
    for (int i = 0; i < 29; ++i) script({round(false, "")});
    script({round(true, "finished at last")});
    EXPECT_EQ(run("Almost forever"), "finished at last");
    EXPECT_EQ(http.requests().size(), 62u) << "no verification after the limit";
}

TEST_F(AgentLoopTest, TheSameActionThreeTimesInFiveStopsBeforeTheThird)
{
    script({round(false, "", json::array({use("a", "click", {{"id", 1}}), use("b", "read_screen"),
                                          use("c", "click", {{"id", 1}})})),
            round(false, "", json::array({use("d", "click", {{"id", 2}}), use("e", "mark_step"),
                                          use("f", "click", {{"id", "1"}}), use("g", "click", {{"id", 2}})}))});
    EXPECT_EQ(run("Loop"),
              "I got stuck repeating the same step without progress, so I stopped. Could you guide me or try rephrasing?");
    EXPECT_EQ(dark->performed.size(), 2u);
    EXPECT_EQ(http.requests().size(), 2u) << "the stuck round's results are not sent";
    EXPECT_EQ(state.agentStepCount(), 0);
    EXPECT_THAT(logged, ::testing::Contains("[twk/agent] stuck \u2014 'click:1:press' repeated 3\u00D7, bailing"));
    EXPECT_EQ(device.whats().back(), "release held");
}

TEST_F(AgentLoopTest, AStopTakesEffectAtTheNextRound)
{
    script({round(false, "", json::array({use("a", "click", {{"id", 1}})})),
            round(false, "", json::array({use("b", "click", {{"id", 2}})}))});
    beforeReply = [this] {
        if (http.requests().size() == 2) cancellation.cancel(); // while the continue request is out
    };
    EXPECT_EQ(run("Stop me"), "stopped");
    EXPECT_EQ(http.requests().size(), 2u);
    EXPECT_EQ(dark->performed.size(), 1u);
    EXPECT_TRUE(nameField->performed.empty()) << "the round after the stop does nothing";
    EXPECT_THAT(logged, ::testing::Contains("[twk/agent] cancelled by user"));
}

TEST_F(AgentLoopTest, FailedRequestsEndTheTaskWithTheirReason)
{
    replies.emplace_back(503, "overloaded");
    EXPECT_EQ(run("A"), "agent failed to start: agent overloaded");
    EXPECT_TRUE(state.agentThinking()) << "left as the start set it";

    script({round(false, "Working")});
    replies.emplace_back(500, "boom");
    EXPECT_EQ(run("B"), "agent error: agent boom");
    EXPECT_EQ(state.agentLastStep(), "");
    EXPECT_THAT(logged, ::testing::Contains("[twk/agent] continue failed: agent boom"));
}

} // namespace
} // namespace twk
