#include "accessibility/character_prefix.h"
#include "accessibility/element_marker.h"
#include "unit/accessibility/accessibility_fixture.h"

#include <climits>

namespace twk {
namespace {

using test::axNode;
using test::FakeAXNodePtr;

class ElementMarkerTest : public test::AccessibilityFixture {
protected:
    std::vector<std::string> labels(int limit = 100)
    {
        std::vector<std::string> found;
        const auto marks = service.markFocusedWindow(limit);
        if (!marks) return {"<nothing>"};
        for (const auto& mark : marks->marks) found.push_back(mark.role + ":" + mark.label);
        return found;
    }
};

TEST_F(ElementMarkerTest, OnlyVisibleInteractiveElementsAreNumberedInPreOrder)
{
    window->add(axNode("AXStaticText", "", 40, 20));                  // no title, no value
    window->add(shown("AXStaticText", "Hello"));                      // marked
    auto thin = window->add(axNode("AXButton", "thin", 3, 20));       // too narrow...
    thin->add(axNode("AXButton", "inner", 20, 20));                   // ...but its child counts
    auto group = window->add(axNode("AXGroup", "group", 100, 100));   // not interactive
    auto frameless = group->add(axNode("AXButton", "frameless"));     // no frame
    frameless->add(shown("AXCheckBox", "deep"));
    auto row = window->add(shown("AXRow", "row"));
    row->add(shown("AXCell", "cell"));                                // after its container
    auto valued = window->add(shown("AXStaticText"));
    valued->attributes["AXValue"] = 12.0;                             // a number value counts
    EXPECT_EQ(labels(), (std::vector<std::string>{"AXStaticText:Hello", "AXButton:inner", "AXCheckBox:deep",
                                                  "AXRow:row", "AXCell:cell", "AXStaticText:"}));
}

TEST_F(ElementMarkerTest, LabelTakesTheFirstNonEmptyTextCutToEightyCharacters)
{
    auto described = window->add(shown("AXButton"));
    described->attributes["AXTitle"] = std::string();
    described->attributes["AXDescription"] = std::string("Close");
    auto placeholder = window->add(shown("AXTextField"));
    placeholder->attributes["AXPlaceholderValue"] = std::string("Search");
    placeholder->attributes["AXValue"] = std::string("typed");
    auto numbered = window->add(shown("AXButton"));
    numbered->attributes["AXHelp"] = 5.0;
    auto roleOnly = window->add(shown("AXSlider"));
    roleOnly->attributes["AXRoleDescription"] = std::string("slider");
    std::string accented;
    for (int i = 0; i < 100; ++i) accented += "e\u0301"; // each one character of two code points
    window->add(shown("AXButton", accented));
    const auto marks = service.markFocusedWindow(100)->marks;
    ASSERT_EQ(marks.size(), 5u);
    EXPECT_EQ(marks[0].label, "Close");
    EXPECT_EQ(marks[1].label, "Search"); // the value is never the label
    EXPECT_EQ(marks[1].value, "typed");
    EXPECT_EQ(marks[2].label, "5");
    EXPECT_EQ(marks[3].label, "slider");
    EXPECT_EQ(marks[4].label, accented.substr(0, 80 * 3));
}

TEST_F(ElementMarkerTest, StatesActionsAndFrameAreRead)
{
    auto box = window->add(axNode("AXCheckBox", "Wi-Fi", 30.9, 20.5, -5.7, 100.2));
    box->attributes["AXValue"] = 1.0;
    box->attributes["AXEnabled"] = false;
    box->attributes["AXFocused"] = 1.0;
    box->actions = std::vector<std::string>{"AXPress", "AXRaise", "AXShowMenu", "AXCancel", "AXPress"};
    const auto selectedFor = [&](std::optional<AXValue> selected, std::optional<AXValue> value) {
        box->attributes.erase("AXSelected");
        box->attributes.erase("AXValue");
        if (selected) box->attributes["AXSelected"] = *selected;
        if (value) box->attributes["AXValue"] = *value;
        return service.markFocusedWindow(1)->marks.at(0).selected;
    };
    const auto mark = service.markFocusedWindow(1)->marks.at(0);
    EXPECT_EQ(std::tie(mark.x, mark.y, mark.width, mark.height), std::make_tuple(-5, 100, 30, 20));
    EXPECT_EQ(mark.enabled, false);
    EXPECT_EQ(mark.focused, true);
    EXPECT_EQ(mark.actions, (std::vector<std::string>{"press", "open-menu", "cancel", "press"}));
    EXPECT_EQ(selectedFor(AXValue(false), AXValue(1.0)), false); // the selected attribute wins
    EXPECT_EQ(selectedFor(std::nullopt, AXValue(0.0)), false);
    EXPECT_EQ(selectedFor(std::nullopt, AXValue(1.0)), true);
    EXPECT_EQ(selectedFor(std::nullopt, AXValue(2.0)), std::nullopt); // mixed
    EXPECT_EQ(selectedFor(std::nullopt, AXValue(-1.0)), std::nullopt);
    EXPECT_EQ(selectedFor(std::nullopt, AXValue(std::string("1"))), std::nullopt);
    box->actions.reset();
    EXPECT_EQ(service.markFocusedWindow(1)->marks.at(0).actions, std::vector<std::string>{});
}

TEST_F(ElementMarkerTest, LimitAndDepthBoundTheWalkAndTheTableFollowsTheMarks)
{
    auto first = window->add(shown("AXButton", "first"));
    window->add(shown("AXButton", "second"));
    const auto one = service.markFocusedWindow(1);
    ASSERT_EQ(one->marks.size(), 1u);
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(test::FakeAccessibility::node(map.element(1)), first);
    EXPECT_EQ(map.element(2), nullptr);

    auto parent = window;
    for (int depth = 1; depth <= 28; ++depth) parent = parent->add(shown("AXGroup"));
    parent->add(shown("AXButton", "depth 29"));
    parent->add(shown("AXGroup"))->add(shown("AXButton", "depth 30")); // below the 30 levels
    EXPECT_EQ(labels(), (std::vector<std::string>{"AXButton:first", "AXButton:second", "AXButton:depth 29"}));
    EXPECT_EQ(map.size(), 3u);
}

TEST_F(ElementMarkerTest, NoWindowInFrontGivesNothingAndKeepsTheTable)
{
    window->add(shown("AXButton", "kept"));
    service.markFocusedWindow(10);
    app->attributes["AXFocusedWindow"] = std::string("not an element");
    EXPECT_FALSE(service.markFocusedWindow(10));
    ax.stacking = {ownPid};
    EXPECT_FALSE(service.markFocusedWindow(10));
    EXPECT_EQ(map.size(), 1u);
}

TEST_F(ElementMarkerTest, OwnWindowsInFrontDoNotHideTheUsersApplication)
{
    ax.stacking = {ownPid, appPid};
    window->add(shown("AXButton", "theirs"));
    const auto marks = service.markFocusedWindow(10);
    ASSERT_TRUE(marks);
    EXPECT_EQ(marks->appName, "Editor");
}

TEST_F(ElementMarkerTest, HostileTreesStayBounded)
{
    // A cycle: the window is its own grandchild.
    auto loop = window->add(shown("AXButton", "loop"));
    loop->children.push_back(window);
    EXPECT_EQ(labels(), std::vector<std::string>{"AXButton:loop"});

    // 100,000 nodes with nothing to mark.
    window->children.clear();
    auto wide = window->add(axNode("AXGroup"));
    for (int i = 0; i < 100000; ++i) wide->add(axNode("AXGroup"));
    ax.reads = 0;
    EXPECT_EQ(service.markFocusedWindow(100)->marks.size(), 0u);
    EXPECT_LT(ax.reads, 4 * ElementMarker::visitBudget);

    // Elements that vanish mid-walk, and absurd frames.
    window->children.clear();
    window->add(shown("AXButton", "gone"))->gone = true;
    window->add(axNode("AXButton", "huge", 1e300, 1e300, -1e300, double(INT_MIN)));
    window->add(shown("AXButton", "fine"));
    const auto marks = service.markFocusedWindow(100)->marks;
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0].x, INT_MIN);
    EXPECT_EQ(marks[1].label, "fine");
}

TEST_F(ElementMarkerTest, ShortcutsSkipOnlyWhatCannotBeShownAndMarkTheSame)
{
    window->add(shown("AXMenuBarItem", "File"))->add(axNode("AXMenu"))->hidden = true;
    auto closedMenu = window->children.back()->children.back();
    for (int i = 0; i < 200; ++i) closedMenu->add(axNode("AXMenuItem", "item"))->add(axNode("AXMenuItem", "sub"));
    // A list 100 high at y 100 whose rows 20 high are scrolled: one row in
    // the middle is filtered out, the last shown one reaches the bottom.
    auto list = window->add(axNode("AXList", "", 100, 100, 0, 100));
    const auto row = [&](const std::string& title, double y) { list->add(axNode("AXRow", title, 90, 20, 0, y)); };
    row("a", 100);
    row("b", 120);
    list->add(axNode("AXRow", "filtered"));
    row("c", 140);
    row("d", 160);
    row("e", 180);
    for (int i = 0; i < 1000; ++i) list->add(axNode("AXRow", "below"));
    window->add(shown("AXButton", "after"));

    ax.reads = 0;
    const auto quick = labels();
    const int quickReads = ax.reads;
    service.marker().setShortcuts(false);
    ax.reads = 0;
    EXPECT_EQ(labels(), quick);
    EXPECT_EQ(quick, (std::vector<std::string>{"AXMenuBarItem:File", "AXRow:a", "AXRow:b", "AXRow:c", "AXRow:d",
                                               "AXRow:e", "AXButton:after"}));
    EXPECT_LT(quickReads * 10, ax.reads);
}

TEST(CharacterPrefix, KeepsMarksWithTheirBaseAndCountsBrokenBytesAlone)
{
    EXPECT_EQ(characterPrefix("abc", 2), "ab");
    EXPECT_EQ(characterPrefix("a\u0301b", 1), "a\u0301");
    EXPECT_EQ(characterPrefix("\U0001F469\u200D\U0001F4BBx", 1), "\U0001F469\u200D\U0001F4BB");
    EXPECT_EQ(characterPrefix("\xff\xfe" "ab", 3), "\xff\xfe" "a");
    EXPECT_EQ(characterPrefix("\xe2\x80", 5), "\xe2\x80"); // a cut-off sequence is kept whole, not overrun
}

} // namespace
} // namespace twk
