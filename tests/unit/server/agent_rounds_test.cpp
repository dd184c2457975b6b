// The parts of agent rounds that bound or interpret what comes from outside:
// spoken task phrasings, the session table's limits, and the screenshots a
// long conversation keeps resending.

#include "agent_dialect.h"
#include "agent_sessions.h"
#include "task_intent.h"

#include <gtest/gtest.h>

namespace twk::server {
namespace {

using Kind = TaskStep::Kind;
using nlohmann::json;

TEST(TaskIntentTest, EverydayPhrasingsBecomeTheirSteps)
{
    struct Case {
        const char* task;
        Kind kind;
        std::string target, text;
        bool on = true;
        std::vector<std::string> path = {};
    };
    const Case cases[] = {
        {"Switch Notifications off.", Kind::toggle, "Notifications", "", false},
        {"please enable the dark mode switch", Kind::toggle, "dark mode", ""},
        {"uncheck “Show hidden files”", Kind::toggle, "Show hidden files", "", false},
        {"fill in Name with Ada Lovelace", Kind::fill, "Name", "Ada Lovelace"},
        {"set the Name field to Ada", Kind::fill, "Name", "Ada"},
        {"enter 'in and out' into the search box", Kind::fill, "search", "in and out"},
        {"choose New from the File menu", Kind::menu, "", "", true, {"File", "New"}},
        {"open the Edit menu > Transform > Upper Case", Kind::menu, "", "", true, {"Edit", "Transform", "Upper Case"}},
        {"press the enter key", Kind::key, "", "enter"},
        {"hit Ctrl+Shift+T", Kind::key, "", "ctrl+shift+t"},
        {"click on the OK button", Kind::press, "OK", ""},
        {"scroll up", Kind::scroll, "", "up"},
        {"go to example.org/docs", Kind::navigate, "", "example.org/docs"},
        {"type hello world", Kind::typeText, "", "hello world"},
    };
    for (const auto& c : cases) {
        const auto steps = parseTask(c.task);
        ASSERT_TRUE(steps && steps->size() == 1) << c.task;
        const TaskStep& step = steps->front();
        EXPECT_EQ(step.kind, c.kind) << c.task;
        EXPECT_EQ(step.target, c.target) << c.task;
        EXPECT_EQ(step.text, c.text) << c.task;
        EXPECT_EQ(step.on, c.on) << c.task;
        EXPECT_EQ(step.path, c.path) << c.task;
    }
    // "and" inside a name does not split it; before a verb it does.
    const auto two = parseTask("turn on Terms and Conditions and then press Continue");
    ASSERT_TRUE(two && two->size() == 2);
    EXPECT_EQ((*two)[0].target, "Terms and Conditions");
    EXPECT_EQ((*two)[1].target, "Continue");
    for (const char* task : {"", "what's the weather like", "turn on", "make it look nicer and faster"})
        EXPECT_FALSE(parseTask(task)) << task;
}

TEST(AgentSessionsTest, TasksEndWhenIdleOrOldButNeverMidRound)
{
    AgentSessions sessions({4, 2, 1000, 5000});
    const std::string a = sessions.add("u1", nullptr, 0);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(sessions.find(a, "u2", 10), nullptr) << "someone else's";
    ASSERT_NE(sessions.find(a, "u1", 900), nullptr);
    EXPECT_EQ(sessions.find(a, "u1", 1901), nullptr) << "idle too long";

    const std::string busy = sessions.add("u1", nullptr, 2000);
    AgentSessions::Session* running = sessions.get(busy);
    ASSERT_NE(running, nullptr);
    running->busy = true;
    EXPECT_NE(sessions.find(busy, "u1", 9000), nullptr) << "a round still running";
    running->busy = false;
    running->lastUsedMs = 7500;
    EXPECT_EQ(sessions.find(busy, "u1", 7600), nullptr) << "alive too long";

    // Per installation, the oldest idle task gives way; overall, the table is full.
    const std::string first = sessions.add("u1", nullptr, 8000);
    sessions.add("u1", nullptr, 8001);
    sessions.add("u1", nullptr, 8002);
    EXPECT_EQ(sessions.find(first, "u1", 8003), nullptr);
    sessions.add("u2", nullptr, 8003);
    sessions.add("u3", nullptr, 8004);
    EXPECT_EQ(sessions.add("u4", nullptr, 8005), "") << "no room";
    EXPECT_EQ(sessions.size(), 4u);
}

TEST(AgentDialectTest, ALongConversationResendsOnlyTheLastScreenshots)
{
    json messages = json::array();
    for (int i = 0; i < 4; ++i)
        messages.push_back({{"role", "user"}, {"content", {{{"type", "image"}, {"data", std::to_string(i)}}, {{"type", "text"}, {"text", "t"}}}}});
    dropOlderImages(messages, "image", 2);
    EXPECT_EQ(messages[0]["content"][0]["type"], "text");
    EXPECT_EQ(messages[1]["content"][0]["type"], "text");
    EXPECT_EQ(messages[2]["content"][0]["data"], "2");
    EXPECT_EQ(messages[3]["content"][0]["data"], "3");
}

} // namespace
} // namespace twk::server
