// The real `tarnwick` on the harness desktop: its tray item as a panel sees
// it over D-Bus (through the test watcher), and its HUD window as the window
// manager sees it.

#include "integration/app/desktop_probe.h"
#include "integration/process_helpers.h"

#include <QDBusArgument>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

namespace twk::test {
namespace {

constexpr const char* launched = "[twk] MenuBarController constructed";
// Nothing listens there: switching on fails fast, so the status moves.
const std::map<std::string, std::optional<std::string>> unreachableBackend{
    {"TARNWICK_BACKEND_URL", "http://127.0.0.1:9"}};

class TrayAndHud : public ::testing::Test {
protected:
    void startWithTray()
    {
        watcher.emplace(SNI_WATCHER, std::vector<std::string>{});
        ASSERT_TRUE(watcher->waitForOutput("ready")) << watcher->output();
        app.emplace(TARNWICK_EXE, std::vector<std::string>{}, unreachableBackend);
        ASSERT_TRUE(app->waitForOutput(launched)) << app->output();
        ASSERT_TRUE(watcher->waitForOutput("registered ")) << watcher->output() << app->output();
        std::smatch match;
        const std::string out = watcher->output();
        ASSERT_TRUE(std::regex_search(out, match, std::regex(R"(registered (\S+) (\S+))")));
        item.emplace(QString::fromStdString(match[1]), QString::fromStdString(match[2]));
    }

    std::optional<ChildProcess> watcher;
    std::optional<ChildProcess> app;
    std::optional<TrayItem> item;
};

TEST_F(TrayAndHud, TrayItemShowsTheStatusAndOpensAndClosesThePopover)
{
    startWithTray();
    EXPECT_EQ(item->property("Title").toString(), "tarnwick");
    const QByteArray offIcon = item->largestIcon();
    ASSERT_FALSE(offIcon.isEmpty());
    EXPECT_FALSE(offIcon.count('\0') == offIcon.size()) << "the icon is blank";

    item->activate();
    std::optional<WindowInfo> popover;
    ASSERT_TRUE(eventually([&] { return (popover = windowTitled("tarnwick popover")) && popover->viewable; }));
    EXPECT_EQ(popover->width, 320);
    // No icon geometry over D-Bus: the panel hangs from the pointer's screen's top-right corner.
    EXPECT_GT(popover->x + popover->width, 1920 - 40);
    EXPECT_LT(popover->y, 40);
    std::filesystem::create_directories(UI_ARTEFACTS_DIR);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // painted, not just mapped
    EXPECT_TRUE(saveScreenshot(std::string(UI_ARTEFACTS_DIR) + "/desktop-popover-open.png"));
    item->activate();
    EXPECT_TRUE(eventually([&] {
        const auto closed = windowTitled("tarnwick popover");
        return !closed || !closed->viewable;
    }));

    // Switching on from the tray's menu: connecting, then an error with no backend.
    ASSERT_TRUE(item->clickMenuEntry("Turn on tarnwick"));
    EXPECT_TRUE(eventually([&] { return item->largestIcon() != offIcon; })) << app->output();
}

TEST_F(TrayAndHud, HudFloatsTopRightOutOfTaskbarsAndNeverTakesTheFocus)
{
    ChildProcess keeper("/usr/bin/zenity", {"--entry", "--title=Focus keeper", "--text=typing here"});
    std::optional<WindowInfo> keeperWindow;
    ASSERT_TRUE(eventually([&] { return (keeperWindow = windowTitled("Focus keeper")) && keeperWindow->viewable; }));
    ASSERT_TRUE(eventually([&] { return activeWindow() == keeperWindow->id; }));

    startWithTray();
    std::optional<WindowInfo> hud;
    ASSERT_TRUE(eventually([&] { return (hud = windowTitled("tarnwick HUD")) && hud->viewable; }));
    EXPECT_EQ(hud->x + hud->width, 1920 - 16);
    EXPECT_EQ(hud->y, 16);
    EXPECT_EQ(hud->width, 280); // switched off: the compact panel
    const std::string type = windowProperty(hud->id, "_NET_WM_WINDOW_TYPE");
    EXPECT_NE(type.find("_NET_WM_WINDOW_TYPE_UTILITY"), std::string::npos) << type;
    const std::string states = windowProperty(hud->id, "_NET_WM_STATE");
    for (const char* state : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_ABOVE"})
        EXPECT_NE(states.find(state), std::string::npos) << states;
    EXPECT_NE(windowProperty(hud->id, "WM_HINTS").find("accepts input or input focus: False"), std::string::npos);
    EXPECT_EQ(activeWindow(), keeperWindow->id);

    // A click on its power button switches on (with no backend the session
    // ends in an error at once, which the icon keeps showing) and leaves the
    // focus where the user's typing goes.
    const QByteArray offIcon = item->largestIcon();
    clickAt(hud->x + hud->width - 14 - 11, hud->y + 12 + 17);
    EXPECT_TRUE(eventually([&] { return item->largestIcon() != offIcon; })) << app->output();
    EXPECT_EQ(activeWindow(), keeperWindow->id);
    std::filesystem::create_directories(UI_ARTEFACTS_DIR);
    EXPECT_TRUE(saveScreenshot(std::string(UI_ARTEFACTS_DIR) + "/desktop-hud-beside-focused-window.png"));
}

TEST(Hud, WithoutAnyTrayTheLogSaysSoOnceAndTheHudIsTheWayIn)
{
    ChildProcess app(TARNWICK_EXE, {}, unreachableBackend);
    ASSERT_TRUE(app.waitForOutput(launched)) << app.output();
    EXPECT_EQ(occurrences(app.output(), "no system tray"), 2u) << app.output(); // the item line and the warning
    std::optional<WindowInfo> hud;
    ASSERT_TRUE(eventually([&] { return (hud = windowTitled("tarnwick HUD")) && hud->viewable; }));
    // Never stranded: a click on the HUD's status opens the panel under it.
    clickAt(hud->x + 80, hud->y + 29);
    std::optional<WindowInfo> popover;
    ASSERT_TRUE(eventually([&] { return (popover = windowTitled("tarnwick popover")) && popover->viewable; }))
        << app.output();
    EXPECT_GT(popover->y, hud->y + hud->height);
}

} // namespace
} // namespace twk::test
