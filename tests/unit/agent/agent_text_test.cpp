#include "agent/action_signature.h"
#include "agent/agent_text.h"
#include "agent/tool_input.h"

#include <gtest/gtest.h>

namespace twk::agent {
namespace {

TEST(AgentTextTest, MarksAreDescribedByLabelAndFriendlyRole)
{
    EXPECT_EQ(friendlyRole("AXPopUpButton"), "pop up button");
    EXPECT_EQ(friendlyRole("AXCheckBox"), "check box");
    EXPECT_EQ(friendlyRole("Xbutton"), "xbutton");

    MarkedElement mark;
    mark.id = 4;
    mark.role = "AXTextField";
    mark.label = "  Name\n";
    EXPECT_EQ(describeMark(mark), "\u201CName\u201D text field");
    mark.label = std::string(45, 'a');
    EXPECT_EQ(describeMark(mark), "\u201C" + std::string(40, 'a') + "\u201D text field");
    mark.label = " \n";
    EXPECT_EQ(describeMark(mark), "text field");
    mark.role = "AX";
    EXPECT_EQ(describeMark(mark), "element #4");
}

TEST(AgentTextTest, VerifyHintReportsTheElementAsItIsNow)
{
    EXPECT_EQ(verifyHint(3, std::nullopt),
              "(element no longer present \u2014 likely the UI changed; call read_screen to see the new state)");
    MarkedElement now;
    now.id = 3;
    now.role = "AXTextField";
    EXPECT_EQ(verifyHint(3, now), "element [3] state unchanged; call read_screen to see surrounding changes");
    now.value = "Hello";
    now.selected = false;
    now.focused = true;
    EXPECT_EQ(verifyHint(3, now), "element [3] now: value=\"Hello\" not-selected focused");
    now.value = std::string(70, 'v');
    now.selected = true;
    now.focused = false;
    EXPECT_EQ(verifyHint(3, now), "element [3] now: value=\"" + std::string(60, 'v') + "\" \u2713selected");
}

TEST(AgentTextTest, KeysAreShownAsSymbolsAndNormalisedToKeyWords)
{
    EXPECT_EQ(prettyKeys("cmd+shift+t"), "\u2318\u21E7T");
    EXPECT_EQ(prettyKeys("Escape"), "\u238B");
    EXPECT_EQ(prettyKeys("control+option+space"), "\u2303\u2325\u2423");
    EXPECT_EQ(prettyKeys("ctrl+Return"), "\u2303\u23CE");

    EXPECT_EQ(normalizeKey("Command+Shift+RETURN"), "cmd+shift+enter");
    EXPECT_EQ(normalizeKey("super++option+page_down"), "cmd+alt+pagedown");
    EXPECT_EQ(normalizeKey("control+Page_Up"), "ctrl+pageup");
    EXPECT_EQ(normalizeKey("+"), "");
}

TEST(AgentTextTest, InputsAreReadLeniently)
{
    const ToolArgs input = parseToolArgs(R"({"a":7,"b":"7","c":7.9,"d":"-2.5","e":"7 ","f":true,"g":1e30,"p":["x",1,"y"]})");
    EXPECT_EQ(integerInput(input, "a"), 7);
    EXPECT_EQ(integerInput(input, "b"), 7);
    EXPECT_EQ(integerInput(input, "c"), 7);
    EXPECT_EQ(integerInput(input, "d"), -2);
    EXPECT_EQ(integerInput(input, "e"), 0);
    EXPECT_EQ(integerInput(input, "f"), 0);
    EXPECT_EQ(integerInput(input, "g"), 0);
    EXPECT_EQ(integerInput(input, "missing"), 0);
    EXPECT_EQ(stringList(input, "p"), (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(stringList(input, "a").empty());
}

TEST(AgentTextTest, SignaturesNameTheActionNotItsIncidentals)
{
    const auto sig = [](const std::string& name, const std::string& input) {
        return actionSignature({"t1", name, input});
    };
    EXPECT_EQ(sig("click", R"({"id":4})"), "click:4:press");
    EXPECT_EQ(sig("click", R"({"id":"4","action":"open-menu"})"), "click:4:open-menu");
    EXPECT_EQ(sig("click", R"({"id":4.0})"), "click:4:press");
    EXPECT_EQ(sig("click", "not json"), "click:?:press");
    EXPECT_EQ(sig("set_value", R"({"id":2,"text":"a"})"), sig("set_value", R"({"id":2,"text":"b"})"));
    EXPECT_EQ(sig("invoke_menu", R"({"path":["File","Save As…"]})"), "menu:File/Save As…");
    EXPECT_EQ(sig("press_key", R"({"text":"tab"})"), "key:tab");
    EXPECT_EQ(sig("type_text", R"({"text":"abcdefghijklmnopqrstuvwxyz"})"), "type:abcdefghijklmnopqrst");
    EXPECT_EQ(sig("click_at", R"({"x":10.5})"), "clickat:10.5,?");
    EXPECT_EQ(sig("scroll", R"({"direction":"up"})"), sig("scroll", R"({"direction":"down"})"));
    for (const char* looking : {"read_screen", "take_screenshot", "set_plan", "mark_step"})
        EXPECT_EQ(sig(looking, "{}"), std::nullopt) << looking;
}

} // namespace
} // namespace twk::agent
