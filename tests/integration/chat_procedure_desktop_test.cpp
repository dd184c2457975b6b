#include "accessibility/mark_actions.h"
#include "platform/linux/atspi_accessibility.h"
#include "tools/desktop_chat_controls.h"

#include "integration/desktop_input_parts.h"
#include "integration/process_helpers.h"
#include "integration/qt_spin.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <thread>

#include "integration/x11_focus.h"

namespace twk {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::hasLine;
using test::spinUntil;

/// The chat procedure, end to end on the test desktop: the project's chat
/// window behind another window, real keys, the clipboard and the
/// accessibility tree.
class ChatProcedureDesktopTest : public ::testing::Test, protected test::DesktopInputParts {
protected:
    ~ChatProcedureDesktopTest() override { thread.stop(); }

    void SetUp() override
    {
        ASSERT_TRUE(chat.waitForOutput("ready"));
        ASSERT_TRUE(spinUntil([&] { return test::focusedWindowPid() == chat.pid(); }, 15s));
        // Another window in front: the procedure has to bring the chat forward.
        ASSERT_TRUE(spinUntil([&] { return test::focusedWindowPid() == other.pid(); }, 15s));
    }

    nlohmann::json send(const std::string& app, const std::string& person, const std::string& text)
    {
        auto reply = std::make_shared<std::optional<std::string>>();
        spawn(loop, [](Skills& s, DesktopChatControls& c, std::string a, std::string p, std::string t,
                       std::shared_ptr<std::optional<std::string>> out) -> Task<void> {
            auto sending = s.messageInApp(std::move(a), std::move(p), std::move(t), c);
            out->emplace(co_await std::move(sending));
        }(skills, controls, app, person, text, reply));
        EXPECT_TRUE(spinUntil([&] { return reply->has_value(); }, 30s));
        return nlohmann::json::parse(reply->value_or("{}"));
    }

    ChildProcess chat{CHAT_FIXTURE, {}};
    ChildProcess other{"/usr/bin/zenity", {"--info", "--text=In the way"}};
    WorkerPool thread{1};
    AtspiAccessibility ax;
    MarkElementMap map;
    AccessibilityService service{{ax, workspace, map, thread, static_cast<int>(getpid()),
                                  [](Duration wait) { std::this_thread::sleep_for(wait); }}};
    MarkActions marks{service, device};
    DesktopChatControls controls{loop, input, &marks};
};

TEST_F(ChatProcedureDesktopTest, TheMessageArrivesInTheConfirmedConversationExactlyAsWritten)
{
    const std::string text = "Running \"late\" $(id) `x` — 5' ✓";
    const auto reply = send("chatterbox", "maren", text);
    EXPECT_EQ(reply["message"], "Sent to maren in chatterbox: \"" + text + "\"") << reply;
    EXPECT_TRUE(chat.waitForOutput("sent Maren Holt: " + text + "\n")) << chat.output();
    EXPECT_TRUE(hasLine(chat.output(), "switcher"));
    EXPECT_TRUE(hasLine(chat.output(), "opened Maren Holt"));
}

TEST_F(ChatProcedureDesktopTest, ARecipientTheWindowDoesNotShowGetsTheReplyThatAsksToCheck)
{
    const auto reply = send("Chatterbox", "Quinn", "hello");
    EXPECT_EQ(reply["ok"], true);
    EXPECT_NE(reply["message"].get<std::string>().find("to the top Chatterbox match for Quinn"), std::string::npos)
        << reply;
    EXPECT_TRUE(chat.waitForOutput("no match Quinn\n"));
    EXPECT_TRUE(chat.waitForOutput("sent No conversation: hello\n")) << chat.output();
}

TEST_F(ChatProcedureDesktopTest, AChatApplicationThatIsNotRunningIsNotStarted)
{
    const auto reply = send("Slack", "maren", "hello");
    EXPECT_EQ(reply["error"], "Slack isn't open — open it first, then try again");
    EXPECT_EQ(chat.output(), "ready\n");
}

} // namespace
} // namespace twk
