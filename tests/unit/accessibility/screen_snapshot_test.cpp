#include "accessibility/screen_snapshot.h"
#include "unit/accessibility/accessibility_fixture.h"

namespace twk {
namespace {

using test::axNode;

class ScreenSnapshotTest : public test::AccessibilityFixture {
protected:
    void addMenu(const std::string& title, const std::vector<std::string>& items)
    {
        auto top = menuBar->add(axNode("AXMenuBarItem", title));
        auto menu = top->add(axNode("AXMenu"));
        for (const auto& item : items) menu->add(axNode("AXMenuItem", item));
    }
};

TEST_F(ScreenSnapshotTest, RendersHeaderElementsAndMenuSummary)
{
    auto box = window->add(shown("AXCheckBox", "Wi-Fi"));
    box->attributes["AXValue"] = 1.0;
    box->actions = std::vector<std::string>{"AXPress", "AXCancel"};
    auto field = window->add(shown("AXTextField", "Notes"));
    field->attributes["AXValue"] = std::string(100, 'v');
    field->attributes["AXFocused"] = true;
    field->attributes["AXEnabled"] = false;
    auto button = window->add(shown("AXButton", "OK"));
    button->actions = std::vector<std::string>{"AXPress"};
    button->attributes["AXEnabled"] = true;
    window->add(shown("", "roleless"))->attributes.erase("AXRole"); // never numbered
    auto popup = window->add(shown("AXPopUpButton"));
    popup->attributes["AXSelected"] = true;
    popup->actions = std::vector<std::string>{"AXPress", "AXShowMenu"};
    addMenu("File", {"New", "", "Open…"});
    addMenu("Edit", {});
    menuBar->add(axNode("AXMenuBarItem")); // untitled: left out

    const auto snapshot = service.snapshotText(80);
    EXPECT_EQ(snapshot.text, "FRONT APP: Editor\n"
                             "WINDOW: Untitled\n"
                             "\n"
                             "INTERACTIVE ELEMENTS (4) \u2014 act on these by id with click/set_value:\n"
                             "  [1] checkbox \"Wi-Fi\" value=\"1\" \u2713selected actions=[press,cancel]\n"
                             "  [2] textfield \"Notes\" value=\"" + std::string(60, 'v') + "\" disabled focused\n"
                             "  [3] button \"OK\"\n"
                             "  [4] popupbutton \u2713selected actions=[press,open-menu]\n"
                             "\n"
                             "MENU BAR \u2014 invoke any item by path with invoke_menu, e.g. "
                             "invoke_menu([\"File\",\"New\"]). Highly reliable:\n"
                             "  File: New, Open…\n"
                             "  Edit");
    EXPECT_EQ(snapshot.elementCount, 4);
    EXPECT_EQ(snapshot.marks.at(1).value->size(), 100u); // the mark keeps the whole value
}

TEST_F(ScreenSnapshotTest, EmptyTitleEmptyWindowAndNoWindow)
{
    window->attributes.erase("AXTitle");
    EXPECT_EQ(service.snapshotText(80).text,
              "FRONT APP: Editor\n\nINTERACTIVE ELEMENTS (0) \u2014 act on these by id with click/set_value:");
    ax.stacking.clear();
    const auto none = service.snapshotText(80);
    EXPECT_EQ(none.text, "No accessibility elements found for the focused window. The content may be web/canvas "
                         "\u2014 call take_screenshot to see it visually, then click_at coordinates.");
    EXPECT_EQ(none.elementCount, 0);
}

TEST_F(ScreenSnapshotTest, SummaryShowsTwelveMenusAndFourteenItemsEach)
{
    std::vector<std::string> items;
    for (int i = 1; i <= 16; ++i) items.push_back("i" + std::to_string(i));
    for (int m = 1; m <= 15; ++m) addMenu("M" + std::to_string(m), m == 1 ? items : std::vector<std::string>{});
    const std::string text = service.snapshotText(80).text;
    EXPECT_NE(text.find("\n  M1: i1, i2, i3, i4, i5, i6, i7, i8, i9, i10, i11, i12, i13, i14\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n  M12"));
}

} // namespace
} // namespace twk
