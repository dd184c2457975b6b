#include "unit/agent/agent_fixture.h"

#include <gmock/gmock.h>

namespace twk {
namespace {

using ::testing::EndsWith;

class AgentToolsTest : public test::AgentFixture {
protected:
    AgentToolsTest() { test::runTask(loop, agent.freshSnapshotText()); }
};

TEST_F(AgentToolsTest, ElementToolsNameTheirTargetAndReportItsStateAfterwards)
{
    auto result = execute("click", R"({"id":"1"})");
    EXPECT_FALSE(result.isError);
    EXPECT_EQ(result.tool_use_id, "tu");
    EXPECT_EQ(state.activity(), "Clicking \u201CDark mode\u201D check box");
    EXPECT_EQ(dark->performed, std::vector<std::string>{"AXPress"});
    EXPECT_EQ(*result.text, "clicked mark 1\nelement [1] now: value=\"0\" not-selected");

    dark->actions = std::vector<std::string>{"AXPress", "AXShowMenu"};
    result = execute("click", R"({"id":1,"action":"open-menu"})");
    EXPECT_EQ(state.activity(), "open-menu on \u201CDark mode\u201D check box");
    EXPECT_EQ(dark->performed.back(), "AXShowMenu");

    result = execute("set_value", R"({"id":2,"text":"Hello"})");
    EXPECT_EQ(state.activity(), "Setting \u201CName\u201D text field to \u201CHello\u201D");
    EXPECT_FALSE(result.isError);
    EXPECT_THAT(*result.text, EndsWith("\nelement [2] now: value=\"Hello\""));

    result = execute("set_value", R"({"id":9,"text":"Hi"})");
    EXPECT_EQ(state.activity(), "Setting field 9 to \u201CHi\u201D");
    EXPECT_TRUE(result.isError);
    EXPECT_EQ(*result.text, "no mark 9");

    result = execute("click", "not json at all");
    EXPECT_EQ(state.activity(), "Clicking element 0");
    EXPECT_TRUE(result.isError);

    // The hint reads the element after the action.
    dark->attributes["AXValue"] = 1.0;
    result = execute("click", R"({"id":1})");
    EXPECT_THAT(*result.text, EndsWith("element [1] now: value=\"1\" \u2713selected"));
}

TEST_F(AgentToolsTest, KeysScrollsAndPointsGoToTheDesktop)
{
    auto result = execute("press_key", R"({"keys":"RETURN"})");
    EXPECT_EQ(state.activity(), "Pressing \u23CE");
    EXPECT_EQ(device.whats(), (std::vector<std::string>{"key 76 down 0x0", "key 76 up 0x0"}));
    device.events.clear();
    result = execute("press_key", R"({"text":"page_down"})");
    EXPECT_FALSE(result.isError) << *result.text;
    EXPECT_EQ(device.whats().front(), "key 121 down 0x0");

    device.events.clear();
    execute("scroll", R"({"amount":0})");
    EXPECT_EQ(state.activity(), "Scrolling down");
    execute("scroll", R"({"scroll_direction":"left","scroll_amount":"2"})");
    execute("scroll", R"({"direction":"Up"})");
    EXPECT_EQ(device.whats(), (std::vector<std::string>{"scroll 3 0", "scroll 0 -6", "scroll 9 0"}));

    device.events.clear();
    result = execute("click_at", R"({"x":"10","y":20.7})");
    EXPECT_EQ(state.activity(), "Clicking at (10, 20)");
    EXPECT_FALSE(result.isError);
    EXPECT_EQ(device.events.size(), 2u);

    // Never on this program's own window.
    device.ownWindowPoints = {{10, 20}};
    result = execute("click_at", R"({"x":10,"y":20})");
    EXPECT_TRUE(result.isError);
    device.ownWindowPoints = {{0, 0}}; // where the pointer is
    result = execute("scroll", "{}");
    EXPECT_TRUE(result.isError);
    EXPECT_EQ(device.events.size(), 2u);
}

TEST_F(AgentToolsTest, ScreenshotsPlansAndUnknownTools)
{
    auto result = execute("take_screenshot", "{}");
    EXPECT_TRUE(result.isError);
    EXPECT_EQ(*result.text, "screen capture failed");
    capturer.image = CapturedImage{"PNG!", 640, 480};
    result = execute("take_screenshot", "{}");
    EXPECT_EQ(state.activity(), "Looking at the screen");
    EXPECT_THAT(*result.text, ::testing::StartsWith("Screenshot of the current screen (640\u00D7480). "));
    ASSERT_TRUE(result.image);
    EXPECT_EQ(result.image->base64, "UE5HIQ==");
    EXPECT_EQ(result.image->mediaType, "image/png");

    result = execute("set_plan", R"({"steps":["Open","Check",3]})");
    EXPECT_EQ(*result.text, "plan set with 2 steps");
    EXPECT_EQ(state.activity(), "Planning 2 steps");
    result = execute("mark_step", R"({"index":1,"state":"done"})");
    EXPECT_EQ(*result.text, "step 1 marked done");
    EXPECT_EQ(state.activity(), "Confirmed step 2");
    EXPECT_EQ(state.taskSteps()[1].state, StepState::done);
    result = execute("mark_step", R"({"index":0,"state":"sideways"})");
    EXPECT_EQ(*result.text, "step 0 marked sideways");
    EXPECT_EQ(state.taskSteps()[0].state, StepState::doing);
    execute("mark_step", R"({"index":0,"state":"failed","detail":"no such box"})");
    EXPECT_EQ(state.activity(), "Failed: no such box");

    result = execute("read_screen", "{}");
    EXPECT_THAT(*result.text, ::testing::HasSubstr("Name"));
    result = execute("foo", "{}");
    EXPECT_TRUE(result.isError);
    EXPECT_EQ(*result.text, "unsupported tool: foo");
}

} // namespace
} // namespace twk
