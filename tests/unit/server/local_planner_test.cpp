// The local planner on snapshot texts made by the application's own snapshot
// renderer: what it asks for, when it says done, and how it admits defeat.

#include "local_planner.h"

#include "accessibility/screen_snapshot.h"

#include <gtest/gtest.h>

namespace twk::server {
namespace {

using nlohmann::json;

MarkedElement element(int id, const char* role, const char* label, std::optional<std::string> value = std::nullopt,
                      bool enabled = true)
{
    MarkedElement m;
    m.id = id;
    m.role = role;
    m.label = label;
    m.value = std::move(value);
    m.enabled = enabled;
    if (value && (*value == "1" || *value == "0")) m.selected = *value == "1";
    m.actions = std::vector<std::string>{"press"};
    return m;
}

/// The Qt fixture window, with the Dark mode check box on or off and the Name field's text.
std::string fixtureScreen(bool darkMode, std::optional<std::string> name = std::nullopt)
{
    WindowMarks window{"qt_widgets_fixture", "Fixture Window",
                       {element(1, "AXButton", "Save"), element(2, "AXButton", "Cancel"),
                        element(3, "AXButton", "Disabled", std::nullopt, false),
                        element(4, "AXCheckBox", "Dark mode", darkMode ? "1" : "0"),
                        element(5, "AXCheckBox", "Notifications", "0"), element(6, "AXTextField", "Name", name),
                        element(7, "AXSlider", "Volume", "30")}};
    AppMenus menus{"qt_widgets_fixture",
                   {{"File", std::nullopt, {{"New", "ctrl+n", {}}, {"Export\u2026", "ctrl+shift+e", {}}, {"Quit", "ctrl+q", {}}}},
                    {"View", std::nullopt, {{"Dark mode", std::nullopt, {}}}}}};
    return renderSnapshot(window, menus);
}

std::string startText(const std::string& task, const std::string& screen)
{
    return task + "\n\n--- CURRENT SCREEN ---\n" + screen;
}

struct Planner {
    LocalPlanner planner;
    AgentReply last;
    std::vector<std::string> tools = {"read_screen", "click", "set_value", "press_key", "type_text", "invoke_menu", "scroll"};

    AgentReply start(const std::string& task, const std::string& screen)
    {
        AgentTask t;
        t.description = startText(task, screen);
        t.tools = tools;
        planner.start(t, [this](const AgentOutcome& o) { last = std::get<AgentReply>(o); });
        return last;
    }
    /// Answers the last round: its action with `actionText` (an error when `failed`), its screen read with `screen`.
    AgentReply answer(const std::string& screen, const std::string& actionText = "ok", bool failed = false)
    {
        AgentTurn turn;
        for (const auto& use : last.toolUses)
            turn.results.push_back({use.id, use.name == "read_screen" ? screen : actionText, std::nullopt, failed && use.name != "read_screen"});
        planner.next(turn, [this](const AgentOutcome& o) { last = std::get<AgentReply>(o); });
        return last;
    }
    AgentReply verify(const std::string& screen)
    {
        AgentTurn turn;
        turn.userMessage = AgentUserMessage{"The task appears complete. Check it.\n\n--- CURRENT SCREEN ---\n" + screen, std::nullopt};
        planner.next(turn, [this](const AgentOutcome& o) { last = std::get<AgentReply>(o); });
        return last;
    }
};

TEST(LocalPlannerTest, SwitchesACheckBoxOnAndConfirmsItOnlyWhenTheScreenShowsIt)
{
    Planner p;
    const AgentReply first = p.start("In the fixture, turn on Dark mode", fixtureScreen(false));
    ASSERT_FALSE(first.done);
    ASSERT_EQ(first.toolUses.size(), 2u);
    EXPECT_EQ(first.toolUses[0].name, "click");
    EXPECT_EQ(first.toolUses[0].input, json({{"id", 4}}));
    EXPECT_EQ(first.toolUses[1].name, "read_screen");
    EXPECT_NE(first.toolUses[0].id, first.toolUses[1].id);

    const AgentReply done = p.answer(fixtureScreen(true));
    EXPECT_TRUE(done.done);
    EXPECT_TRUE(done.toolUses.empty());
    EXPECT_NE(done.text.find("Dark mode"), std::string::npos);
    EXPECT_EQ(p.verify(fixtureScreen(true)).text.rfind("Confirmed", 0), 0u) << p.last.text;
    EXPECT_EQ(p.verify(fixtureScreen(false)).text.rfind("It did not work", 0), 0u) << p.last.text;
}

TEST(LocalPlannerTest, ACheckBoxThatDoesNotChangeEndsWithTheTruthNotSuccess)
{
    Planner p;
    p.start("turn on dark mode", fixtureScreen(false));
    const AgentReply second = p.answer(fixtureScreen(false));
    ASSERT_FALSE(second.done) << "one more try";
    const AgentReply last = p.answer(fixtureScreen(false));
    EXPECT_TRUE(last.done);
    EXPECT_NE(last.text.find("still shows off"), std::string::npos) << last.text;
    EXPECT_EQ(p.verify(fixtureScreen(false)).text, last.text);
}

TEST(LocalPlannerTest, AlreadyInTheWantedStateAsksForNothing)
{
    Planner p;
    const AgentReply reply = p.start("switch Dark mode off", fixtureScreen(false));
    EXPECT_TRUE(reply.done);
    EXPECT_TRUE(reply.toolUses.empty());
    EXPECT_NE(reply.text.find("already off"), std::string::npos) << reply.text;
}

TEST(LocalPlannerTest, FillsAFieldThenPressesAButtonInOrder)
{
    Planner p;
    const AgentReply fill = p.start("type \"Ada Lovelace\" into the name field and then press Save", fixtureScreen(false));
    ASSERT_FALSE(fill.done);
    EXPECT_EQ(fill.toolUses[0].name, "set_value");
    EXPECT_EQ(fill.toolUses[0].input, json({{"id", 6}, {"text", "Ada Lovelace"}}));
    const AgentReply press = p.answer(fixtureScreen(false, "Ada Lovelace"));
    ASSERT_FALSE(press.done);
    EXPECT_EQ(press.toolUses[0].name, "click");
    EXPECT_EQ(press.toolUses[0].input, json({{"id", 1}}));
    EXPECT_TRUE(p.answer(fixtureScreen(false, "Ada Lovelace")).done);
    EXPECT_EQ(p.verify(fixtureScreen(false, "Ada")).text.rfind("It did not work", 0), 0u) << p.last.text;
    // Pressing Save may close the form: a field that left the screen is no failure, a missing check box still is.
    const std::string formClosed = renderSnapshot(WindowMarks{"qt_widgets_fixture", "Saved", {element(1, "AXButton", "OK")}}, {});
    EXPECT_EQ(p.verify(formClosed).text.rfind("Done", 0), 0u) << p.last.text;
    Planner toggle;
    toggle.start("turn on dark mode", fixtureScreen(false));
    toggle.answer(fixtureScreen(true));
    EXPECT_EQ(toggle.verify(formClosed).text.rfind("It did not work", 0), 0u) << toggle.last.text;
}

TEST(LocalPlannerTest, MenusAndShortcutsUseTheMenuBarsSpellingAndKeyNames)
{
    Planner menu;
    const AgentReply chosen = menu.start("choose file > export...", fixtureScreen(false));
    ASSERT_EQ(chosen.toolUses.at(0).name, "invoke_menu");
    EXPECT_EQ(chosen.toolUses[0].input, json({{"path", {"File", "Export\u2026"}}}));
    EXPECT_TRUE(menu.answer(fixtureScreen(false)).done);

    Planner shortcut;
    const AgentReply key = shortcut.start("press Ctrl+Shift+E", fixtureScreen(false));
    ASSERT_EQ(key.toolUses.at(0).name, "press_key");
    EXPECT_EQ(key.toolUses[0].input, json({{"keys", "ctrl+shift+e"}}));

    Planner escape; // a lone key name with no such button on the screen
    EXPECT_EQ(escape.start("press Escape", fixtureScreen(false)).toolUses.at(0).input, json({{"keys", "escape"}}));
}

TEST(LocalPlannerTest, ARefusedActionOrAMissingElementIsSaidPlainly)
{
    Planner failing;
    failing.start("press Save", fixtureScreen(false));
    const AgentReply failed = failing.answer(fixtureScreen(false), "no element with mark 1", true);
    EXPECT_TRUE(failed.done);
    EXPECT_NE(failed.text.find("no element with mark 1"), std::string::npos) << failed.text;

    Planner missing;
    const AgentReply none = missing.start("press the Launch button", fixtureScreen(false));
    EXPECT_TRUE(none.done);
    EXPECT_NE(none.text.find("can't find"), std::string::npos) << none.text;

    Planner disabled;
    EXPECT_NE(disabled.start("click Disabled", fixtureScreen(false)).text.find("disabled"), std::string::npos);
}

TEST(LocalPlannerTest, ATaskItDoesNotUnderstandEndsAtOnceAndNeverClaimsSuccess)
{
    Planner p;
    const AgentReply reply = p.start("book me a flight to Lisbon for next Tuesday", fixtureScreen(false));
    EXPECT_TRUE(reply.done);
    EXPECT_TRUE(reply.toolUses.empty());
    EXPECT_NE(reply.text.find("don't understand"), std::string::npos) << reply.text;
    EXPECT_EQ(p.verify(fixtureScreen(false)).text, reply.text);
}

TEST(LocalPlannerTest, AskOnlyForToolsTheCallerOffers)
{
    Planner page; // a browser page: no menus, no screen reads
    page.tools = {"click", "set_value", "press_key"};
    WindowMarks form{"Firefox", "Search", {element(1, "AXTextField", "Search"), element(2, "AXButton", "Search")}};
    const std::string screen = renderSnapshot(form, std::nullopt);
    const AgentReply fill = page.start("type hello in the search box and press the search button", screen);
    ASSERT_EQ(fill.toolUses.size(), 1u);
    EXPECT_EQ(fill.toolUses[0].input, json({{"id", 1}, {"text", "hello"}}));
    const AgentReply press = page.answer("", "done\nelement [1] now: value=\"hello\" focused");
    ASSERT_EQ(press.toolUses.size(), 1u);
    EXPECT_EQ(press.toolUses[0].input, json({{"id", 2}}));

    Planner secret; // a password field never shows what it holds
    secret.tools = page.tools;
    WindowMarks login{"Firefox", "Sign in", {element(1, "AXTextField", "Password", "(hidden)")}};
    EXPECT_EQ(secret.start("type hunter2 into the password field", renderSnapshot(login, std::nullopt)).text.find("hunter2"),
              std::string::npos);
    EXPECT_TRUE(secret.answer("", "done\nelement [1] now: value=\"(hidden)\"").done);
    EXPECT_EQ(secret.last.text.find("hunter2"), std::string::npos) << "the password is repeated back: " << secret.last.text;

    Planner noMenus;
    noMenus.tools = {"click"};
    const AgentReply refused = noMenus.start("choose File > New", fixtureScreen(false));
    EXPECT_TRUE(refused.done);
    EXPECT_NE(refused.text.find("invoke_menu"), std::string::npos) << refused.text;
}

TEST(SnapshotParseTest, LabelsAndValuesKeepTheirOwnQuotes)
{
    const auto mark = parseMarkLine("  [12] textfield \"Say \"hi\" here\" value=\"a \"b\" c\" \u2713selected focused actions=[press,open-menu]");
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->id, 12);
    EXPECT_EQ(mark->role, "textfield");
    EXPECT_EQ(mark->label, "Say \"hi\" here");
    EXPECT_EQ(mark->value, "a \"b\" c");
    EXPECT_TRUE(mark->selected && mark->focused && !mark->disabled);
    EXPECT_FALSE(parseMarkLine("[x] button"));
}

} // namespace
} // namespace twk::server
