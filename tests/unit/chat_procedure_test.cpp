#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_messaging.h"
#include "fakes/fake_workspace.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "skills/skills.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace twk {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

class ChatProcedureTest : public ::testing::Test {
protected:
    ChatProcedureTest()
    {
        workspace.apps = {{41, "org.example.Chat", "Chatter", true}, {7, "org.example.Other", "Other", true}};
        workspace.frontmost = 7;
    }

    /// Runs the procedure to its end on virtual time; its reply.
    nlohmann::json send(const std::string& app, const std::string& person, const std::string& text)
    {
        auto reply = test::startTask(loop, skills.messageInApp(app, person, text, controls));
        for (int i = 0; i < 200 && !*reply; ++i) loop.advance(50ms);
        EXPECT_TRUE(*reply) << "the procedure never ended";
        return nlohmann::json::parse(reply->value_or("{}"));
    }

    test::VirtualMainLoop loop;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    Skills skills{{loop, workspace, mediaKeys, host}};
    test::RecordingChatControls controls{loop};
};

TEST_F(ChatProcedureTest, AnApplicationThatIsNotRunningIsNeitherLaunchedNorTypedInto)
{
    const auto reply = send("Slack", "Maren", "hi");
    EXPECT_EQ(reply["ok"], false);
    EXPECT_EQ(reply["error"], "Slack isn't open — open it first, then try again");
    EXPECT_TRUE(controls.steps.empty());
    EXPECT_TRUE(workspace.activated.empty());
    EXPECT_TRUE(workspace.launched.empty());
}

TEST_F(ChatProcedureTest, AConfirmedRecipientGetsTheMessageInTheFixedOrderAndPace)
{
    controls.shown = {"Maren"};
    const auto reply = send("chatter", "Maren", "running \"late\"");
    EXPECT_EQ(reply["ok"], true);
    EXPECT_EQ(reply["message"], "Sent to Maren in chatter: \"running \"late\"\"");
    EXPECT_EQ(workspace.activated, std::vector<int>{41});
    EXPECT_EQ(controls.whats(), (Strings{"press cmd+k", "paste Maren", "press enter", "look 41 Maren",
                                         "paste running \"late\"", "press enter"}));
    // Frontmost at once: the shortcut goes out without waiting, then each
    // screen gets its time to settle.
    std::vector<Duration> at;
    for (const auto& s : controls.steps) at.push_back(s.at);
    EXPECT_EQ(at, (std::vector<Duration>{0ms, 850ms, 2250ms, 3450ms, 3450ms, 3950ms}));
}

TEST_F(ChatProcedureTest, AnApplicationThatNeverComesForwardStillGetsTheShortcutAfterAboutASecondAndAHalf)
{
    workspace.activationBringsToFront = false;
    auto reply = test::startTask(loop, skills.messageInApp("Chatter", "Maren", "hi", controls));
    loop.advance(1450ms);
    EXPECT_TRUE(controls.steps.empty());
    loop.advance(50ms);
    ASSERT_EQ(controls.whats(), Strings{"press cmd+k"});
    EXPECT_EQ(controls.steps[0].at, 1500ms);
    loop.advance(10s);
    ASSERT_TRUE(*reply);
    EXPECT_EQ(nlohmann::json::parse(**reply)["ok"], true);
}

TEST_F(ChatProcedureTest, ARecipientThatCannotBeConfirmedStillGetsTheMessageWithAHedgedReply)
{
    const auto reply = send("Chatter", "Maren", "hi");
    EXPECT_EQ(reply["ok"], true);
    EXPECT_EQ(reply["message"], "Sent \"hi\" to the top Chatter match for Maren. I couldn't read Chatter's window to "
                                "100% confirm the recipient (it's an Electron app) — double-check it landed in the "
                                "right place.");
    EXPECT_EQ(controls.whats().back(), "press enter");
}

} // namespace
} // namespace twk
