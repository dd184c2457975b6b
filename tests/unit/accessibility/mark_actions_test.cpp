#include "accessibility/mark_actions.h"
#include "fakes/recording_input_device.h"
#include "fakes/dispatcher_parts.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "tools/tool_dispatcher.h"
#include "unit/accessibility/accessibility_fixture.h"

namespace twk {
namespace {

using test::axNode;
using test::FakeAXNodePtr;

/// The Editor window holds a Save button (mark 1) and a Name field (mark 2).
class MarkActionsTest : public test::AccessibilityFixture {
protected:
    MarkActionsTest()
    {
        save->actions = std::vector<std::string>{"AXPress"};
        window->add(save);
        window->add(field);
        map.replace({test::FakeAccessibility::handle(save), test::FakeAccessibility::handle(field)});
    }

    static std::string describe(const Expected<std::string>& outcome)
    {
        if (outcome) return outcome.value();
        EXPECT_EQ(outcome.error().domain(), "twk.ax");
        return std::to_string(outcome.error().code()) + " " + outcome.error().description();
    }

    FakeAXNodePtr save = axNode("AXButton", "Save", 40, 20, 100, 200);
    FakeAXNodePtr field = axNode("AXTextField", "Name", 120, 24, 10, 10);
    test::VirtualMainLoop loop;
    test::RecordingInputDevice device{loop};
    MarkActions marks{service, device};
};

TEST_F(MarkActionsTest, ClickPressesOrFallsBackToTheFrameCentre)
{
    EXPECT_EQ(describe(marks.clickMark(1)), "clicked mark 1");
    EXPECT_EQ(save->performed, std::vector<std::string>{"AXPress"});
    EXPECT_TRUE(device.events.empty());

    save->actionStatus = -25205;
    EXPECT_EQ(describe(marks.clickMark(1)), "clicked mark 1 (synth at center)");
    EXPECT_EQ(device.whats(), (std::vector<std::string>{"left down (120,210) state 1", "left up (120,210) state 1"}));

    // No frame, or one without area: nothing to aim at.
    device.events.clear();
    save->attributes["AXSize"] = AXSize{0, 20};
    EXPECT_EQ(describe(marks.clickMark(1)), "-25205 press failed: AXError(-25205)");
    save->gone = true;
    EXPECT_EQ(describe(marks.clickMark(1)), "-1 press failed: AXError(-1)");
    EXPECT_TRUE(device.events.empty());

    EXPECT_EQ(describe(marks.clickMark(3)), "404 no mark 3 (was inspect_screen called recently?)");

    // A click that fails halfway leaves no button down.
    save->gone = false;
    save->attributes["AXSize"] = AXSize{40, 20};
    device.failButtonUp = true;
    EXPECT_EQ(describe(marks.clickMark(1)), "-25205 press failed (AXError(-25205)) and synth-click setup failed");
    EXPECT_EQ(device.whats().back(), "release held");
}

TEST_F(MarkActionsTest, ActionVerbsAreExactAndFailuresKeepTheCode)
{
    EXPECT_EQ(describe(marks.performMarkAction(1, "open-menu")), "open-menu on [1]");
    EXPECT_EQ(save->performed, std::vector<std::string>{"AXShowMenu"});
    EXPECT_EQ(describe(marks.performMarkAction(1, "Press")), "400 unknown action verb 'Press'");
    EXPECT_EQ(describe(marks.performMarkAction(9, "press")), "404 no mark 9");
    save->actionStatus = -25200;
    EXPECT_EQ(describe(marks.performMarkAction(1, "increment")), "-25200 increment failed: AXError(-25200)");
    EXPECT_EQ(save->performed.size(), 2u);
}

TEST_F(MarkActionsTest, SetValueWritesTheFieldOrReportsWhy)
{
    EXPECT_EQ(describe(marks.setMarkValue(2, "Ada")), "set mark 2 to 'Ada'");
    EXPECT_EQ(std::get<std::string>(field->attributes["AXValue"]), "Ada");
    field->setStatus = -25200;
    EXPECT_EQ(describe(marks.setMarkValue(2, "Bob")), "-25200 set value failed: AXError(-25200)");
    EXPECT_EQ(std::get<std::string>(field->attributes["AXValue"]), "Ada");
    EXPECT_EQ(describe(marks.setMarkValue(0, "x")), "404 no mark 0");
}

TEST_F(MarkActionsTest, ReadStateIsFreshAndKeepsTheTable)
{
    field->attributes["AXValue"] = std::string("Ada");
    field->attributes.erase("AXPosition");
    const auto state = marks.readMarkState(2);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->id, 2);
    EXPECT_EQ(state->label, "Name");
    EXPECT_EQ(state->value, "Ada");
    EXPECT_EQ(state->width, 0); // the frame is gone, the element is still reported
    EXPECT_FALSE(marks.readMarkState(3));
    EXPECT_EQ(map.size(), 2u);
}

TEST_F(MarkActionsTest, WindowTextSearchIgnoresCaseAndStaysInBudget)
{
    auto chat = window->add(axNode("AXGroup"));
    chat->attributes["AXValue"] = std::string("Chat with ALICE");
    EXPECT_TRUE(marks.focusedWindowContainsText(appPid, "  Alice\t"));
    EXPECT_TRUE(marks.focusedWindowContainsText(appPid, "untitled")); // the window's own title
    EXPECT_FALSE(marks.focusedWindowContainsText(appPid, " \t "));
    EXPECT_FALSE(marks.focusedWindowContainsText(99, "Alice"));

    // Elements past the 400th in pre-order, or deeper than 22 levels, are not read.
    window->children.clear();
    auto list = window->add(axNode("AXList"));
    for (int i = 0; i < 1000; ++i) list->add(axNode("AXRow", "row " + std::to_string(i)));
    EXPECT_TRUE(marks.focusedWindowContainsText(appPid, "row 397"));  // the window and the list come first
    EXPECT_FALSE(marks.focusedWindowContainsText(appPid, "row 398"));

    window->children.clear();
    auto level = window;
    for (int depth = 1; depth <= 23; ++depth) level = level->add(axNode("AXGroup", "level " + std::to_string(depth) + "."));
    EXPECT_TRUE(marks.focusedWindowContainsText(appPid, "level 22."));
    EXPECT_FALSE(marks.focusedWindowContainsText(appPid, "level 23."));
}

TEST_F(MarkActionsTest, RoutesAnswerTheModelFromTheAccessibilityThread)
{
    test::DispatcherParts parts{loop, workspace};
    auto services = parts.services();
    services.accessibility = &service;
    services.marks = &marks;
    ToolDispatcher tools{services};
    const auto run = [&](const std::string& name, const std::string& args) {
        return test::runTask(loop, tools.run(name, args)).text;
    };
    EXPECT_EQ(run("click_mark", R"({"id":"1"})"), R"({"ok":true,"message":"clicked mark 1"})");
    EXPECT_EQ(run("click_mark", "{}"),
              R"j({"ok":false,"error":"no mark 0 (was inspect_screen called recently?)"})j");
    EXPECT_EQ(run("fill_mark", R"({"id":2,"value":"Ada"})"), R"({"ok":true,"message":"set mark 2 to 'Ada'"})");
    EXPECT_EQ(std::get<std::string>(field->attributes["AXValue"]), "Ada");
    EXPECT_EQ(run("fill_mark", R"({"id":99999999999,"value":"x"})"), R"({"ok":false,"error":"no mark 2147483647"})");
}

} // namespace
} // namespace twk
