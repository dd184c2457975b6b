// `tarnwick tool list_menus` and `tarnwick tool invoke_menu` against the Qt
// fixture window, in front on the harness desktop.

#include "integration/process_helpers.h"

#include <gtest/gtest.h>

namespace twk::test {
namespace {

std::string runTool(const std::vector<std::string>& args, std::optional<int>& status)
{
    std::vector<std::string> all{"tool"};
    all.insert(all.end(), args.begin(), args.end());
    ChildProcess child(TARNWICK_EXE, all);
    status = child.waitForExit();
    return child.output();
}

TEST(MenuToolCommand, ListsTheFrontWindowsMenusAndRunsAnItemByPath)
{
    ChildProcess fixture(QT_WIDGETS_FIXTURE, {});
    ASSERT_TRUE(fixture.waitForOutput("ready"));
    std::optional<int> status;
    std::string menus;
    // The application appears on the accessibility bus a moment after its window.
    for (int i = 0; i < 50 && menus.find("\"Export…\"") == std::string::npos; ++i) menus = runTool({"list_menus"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(hasLine(menus, R"({"ok":true,"app":"qt_widgets_fixture","menus":[)"
                               R"({"title":"File","children":[{"title":"New","shortcut":"cmd+n"},)"
                               R"({"title":"Export…","shortcut":"cmd+shift+e"},{"title":"Quit","shortcut":"cmd+q"}]},)"
                               R"({"title":"Edit","children":[{"title":"Undo","shortcut":"cmd+z"},)"
                               R"({"title":"Transform","children":[{"title":"Upper Case"}]}]},)"
                               R"({"title":"View","children":[{"title":"Dark mode"}]}]})"))
        << menus;

    const std::string invoked = runTool({"invoke_menu", R"({"path":["File","Export..."]})"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(hasLine(invoked, R"({"ok":true,"message":"invoked File > Export..."})")) << invoked;
    EXPECT_TRUE(fixture.waitForOutput("menu File > Export…"));

    const std::string missing = runTool({"invoke_menu", R"({"path":["Fiel","New"]})"}, status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(hasLine(missing, R"j({"ok":false,"error":"no menu item 'Fiel' under (top)"})j")) << missing;
}

} // namespace
} // namespace twk::test
