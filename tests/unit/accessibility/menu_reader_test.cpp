#include "accessibility/menu_reader.h"
#include "fakes/dispatcher_parts.h"
#include "fakes/run_task.h"
#include "tools/tool_dispatcher.h"
#include "unit/accessibility/accessibility_fixture.h"

namespace twk {
namespace {

using test::axNode;
using test::FakeAXNodePtr;

class MenuReaderTest : public test::AccessibilityFixture {
protected:
    /// A menu-bar title with its menu of items; returns the menu.
    FakeAXNodePtr addMenu(const FakeAXNodePtr& parent, const std::string& title, const std::vector<std::string>& items)
    {
        auto top = parent->add(axNode(parent == menuBar ? "AXMenuBarItem" : "AXMenuItem", title));
        auto menu = top->add(axNode("AXMenu"));
        for (const auto& item : items) menu->add(axNode("AXMenuItem", item));
        return menu;
    }

    static FakeAXNodePtr item(const FakeAXNodePtr& menu, const std::string& title)
    {
        for (const auto& child : menu->children)
            if (std::get<std::string>(child->attributes["AXTitle"]) == title) return child;
        return nullptr;
    }

    std::string invoke(const std::vector<std::string>& path, std::optional<std::string> appName = std::nullopt)
    {
        const auto outcome = service.invokeMenu(appName, path);
        if (outcome) return outcome.value();
        return std::to_string(outcome.error().code()) + " " + outcome.error().description();
    }
};

TEST_F(MenuReaderTest, ShortcutsFromCommandCharacterAndModifierBits)
{
    auto node = axNode("AXMenuItem", "x");
    const auto shortcut = [&](std::optional<AXValue> key, std::optional<AXValue> modifiers) {
        node->attributes.erase("AXMenuItemCmdChar");
        node->attributes.erase("AXMenuItemCmdModifiers");
        if (key) node->attributes["AXMenuItemCmdChar"] = *key;
        if (modifiers) node->attributes["AXMenuItemCmdModifiers"] = *modifiers;
        return readShortcut(ax, test::FakeAccessibility::handle(node));
    };
    EXPECT_EQ(shortcut(AXValue(std::string("N")), std::nullopt), "cmd+n");
    EXPECT_EQ(shortcut(AXValue(std::string("N")), AXValue(1.0)), "cmd+shift+n");
    EXPECT_EQ(shortcut(AXValue(std::string("K")), AXValue(14.0)), "alt+ctrl+k");
    EXPECT_EQ(shortcut(AXValue(std::string("Q")), AXValue(8.0)), "q");
    EXPECT_EQ(shortcut(AXValue(std::string("S")), AXValue(std::string("1"))), "cmd+s");
    EXPECT_EQ(shortcut(AXValue(std::string()), AXValue(1.0)), std::nullopt);
    EXPECT_EQ(shortcut(std::nullopt, AXValue(1.0)), std::nullopt);
}

TEST_F(MenuReaderTest, TitlesMatchExactlyBeforeByPartAndEllipsesEitherWay)
{
    auto menu = addMenu(menuBar, "File", {"Save As\u2026", "Save", "Export\u2026", "Import...", "  "});
    const auto match = [&](const std::string& name) {
        std::vector<AXElementRef> kids;
        for (const auto& child : menu->children) kids.push_back(test::FakeAccessibility::handle(child));
        const auto found = test::FakeAccessibility::node(matchMenuChild(ax, kids, name));
        return found ? std::get<std::string>(found->attributes["AXTitle"]) : std::string("<none>");
    };
    EXPECT_EQ(match("save"), "Save");
    EXPECT_EQ(match("Export..."), "Export\u2026");
    EXPECT_EQ(match(" import\u2026 "), "Import...");
    EXPECT_EQ(match("as"), "Save As\u2026");
    EXPECT_EQ(match(""), "  ");
    menu->children.pop_back();
    EXPECT_EQ(match(""), "<none>"); // no substring pass for an empty name
    EXPECT_EQ(match("print"), "<none>");
}

TEST_F(MenuReaderTest, ReadingIsBoundedAndSkipsUntitledEntries)
{
    std::vector<std::string> many;
    for (int i = 1; i <= 55; ++i) many.push_back("item " + std::to_string(i));
    auto file = addMenu(menuBar, "File", many);
    file->children.insert(file->children.begin() + 1, axNode("AXMenuItem")); // a separator
    menuBar->add(axNode("AXMenuBarItem"));                                   // untitled top-level menu
    for (int m = 2; m <= 22; ++m) addMenu(menuBar, "M" + std::to_string(m), {});

    const auto read = service.menus(std::nullopt);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->appName, "Editor");
    // 20 top-level places are read, the untitled one among them.
    ASSERT_EQ(read->menus.size(), 19u);
    EXPECT_EQ(read->menus.back().title, "M19");
    const MenuEntry& fileEntry = read->menus.front();
    ASSERT_EQ(fileEntry.children.size(), 49u); // 50 read, the separator dropped
    EXPECT_EQ(fileEntry.children.back().title, "item 49");
}

TEST_F(MenuReaderTest, SubmenusAreReadFourLevelsDeep)
{
    auto file = addMenu(menuBar, "File", {});
    auto recent = addMenu(file, "Recent", {"a.txt"});
    item(recent, "a.txt")->attributes["AXMenuItemCmdChar"] = std::string("1");
    auto more = addMenu(recent, "More", {});
    addMenu(more, "Deeper", {"too deep"});
    const auto read = service.menus(std::string("org.example.editor"));
    ASSERT_TRUE(read);
    const MenuEntry& recentEntry = read->menus.at(0).children.at(0);
    EXPECT_EQ(recentEntry.children.at(0).shortcut, "cmd+1");
    const MenuEntry& moreEntry = recentEntry.children.at(1);
    ASSERT_EQ(moreEntry.children.size(), 1u);
    EXPECT_EQ(moreEntry.children[0].title, "Deeper");
    EXPECT_TRUE(moreEntry.children[0].children.empty()); // the fourth level is read without children
}

TEST_F(MenuReaderTest, SystemMenuIsSkippedOnlyWhereThereIsOne)
{
    addMenu(menuBar, "Apple", {});
    addMenu(menuBar, "File", {});
    EXPECT_EQ(service.menus(std::nullopt)->menus.front().title, "Apple");
    ax.systemMenuFirst = true;
    EXPECT_EQ(service.menus(std::nullopt)->menus.front().title, "File");
}

TEST_F(MenuReaderTest, ApplicationsAreFoundByIdThenNameThenPart)
{
    workspace.apps.push_back({50, "editor", "Other", true});
    workspace.apps.push_back({51, "x", "Text Editor Pro", true});
    MenuReader reader(ax, workspace, ownPid, [](Duration) {});
    EXPECT_EQ(reader.findApp(std::string("EDITOR"))->pid, 50);
    EXPECT_EQ(reader.findApp(std::string("other"))->pid, 50);
    EXPECT_EQ(reader.findApp(std::string("pro"))->pid, 51);
    EXPECT_EQ(reader.findApp(std::string(""))->pid, appPid);
    EXPECT_FALSE(reader.findApp(std::string("nothing")));
}

TEST_F(MenuReaderTest, InvokingPressesTheLastItemOrSaysWhatWasMissing)
{
    auto file = addMenu(menuBar, "File", {"New", "Export\u2026"});
    auto recent = addMenu(file, "Recent", {"a.txt"});
    EXPECT_EQ(invoke({"file", "Recent", "a.txt"}), "invoked file > Recent > a.txt");
    EXPECT_EQ(item(recent, "a.txt")->performed, std::vector<std::string>{"AXPress"});
    EXPECT_EQ(workspace.activated, std::vector<int>{appPid});
    EXPECT_EQ(pauses, std::vector<Duration>{seconds(0.08)});
    EXPECT_EQ(invoke({"File", "Export..."}), "invoked File > Export...");

    EXPECT_EQ(invoke({}), "0 empty path");
    EXPECT_EQ(invoke({"Edit"}), "2 no menu item 'Edit' under (top)");
    EXPECT_EQ(invoke({"File", "Recent", "b.txt"}), "2 no menu item 'b.txt' under File > Recent");
    EXPECT_EQ(invoke({"File"}, std::string("Nope")), "404 no app matching Nope");
    item(file, "New")->actionStatus = -25205;
    EXPECT_EQ(invoke({"File", "New"}), "-25205 press failed");
    app->attributes.erase("AXMenuBar");
    EXPECT_EQ(invoke({"File", "New"}), "1 no menu bar");
    ax.stacking.clear();
    EXPECT_EQ(invoke({"File"}), "404 no app matching frontmost");
}

TEST_F(MenuReaderTest, MenuRoutesAnswerTheModel)
{
    auto file = addMenu(menuBar, "File", {"New"});
    item(file, "New")->attributes["AXMenuItemCmdChar"] = std::string("n");
    addMenu(menuBar, "Help", {});
    test::VirtualMainLoop loop;
    test::DispatcherParts parts{loop, workspace};
    auto services = parts.services();
    services.accessibility = &service;
    ToolDispatcher tools{services};
    const auto run = [&](const std::string& name, const std::string& args) {
        return test::runTask(loop, tools.run(name, args)).text;
    };
    EXPECT_EQ(run("list_menus", "{}"), R"({"ok":true,"app":"Editor","menus":[{"title":"File","children":[)"
                                       R"({"title":"New","shortcut":"cmd+n"}]},{"title":"Help"}]})");
    EXPECT_EQ(run("list_menus", R"({"app":"Ghost"})"), R"({"ok":false,"error":"could not read menus for Ghost"})");
    EXPECT_EQ(run("invoke_menu", R"({"path":["File","New"]})"), R"({"ok":true,"message":"invoked File > New"})");
    EXPECT_EQ(run("invoke_menu", R"({"path":"File"})"), R"({"ok":false,"error":"empty path"})");
    ax.stacking.clear();
    EXPECT_EQ(run("list_menus", "{}"), R"({"ok":false,"error":"could not read menus for frontmost app"})");
}

} // namespace
} // namespace twk
