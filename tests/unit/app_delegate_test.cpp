#include "app/app_delegate.h"
#include "common/log.h"
#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

class NoPermissions : public Permissions {
public:
    bool microphoneGranted() override { return true; }
    bool accessibilityGranted() override { return true; }
    bool screenRecordingGranted() override { return false; }
    void requestAccessibility() override {}
    void requestScreenRecording() override {}
    void openSoundSettings() override {}
};

class AppDelegateTest : public ::testing::Test {
protected:
    test::MemorySettings settings;
    test::VirtualMainLoop loop;
    AppState state{settings, loop};
    NoPermissions permissions;
    UrlRouter router{loop, [] {}};
    std::vector<std::string> events;
    LogCapture capture{[this](const std::string& line) { events.push_back(line); }};
};

TEST_F(AppDelegateTest, LaunchBuildsTheTrayThenShowsTheHudThenStartsTheBridgeAndOnlyThenSaysSo)
{
    AppDelegate delegate(state, permissions, router,
                         {.createMenuBar = [&] { events.push_back("menu bar"); },
                          .showStatusHUD = [&] { events.push_back("hud"); },
                          .startBridge = [&] { events.push_back("bridge"); }});
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(events, (std::vector<std::string>{"[twk] applicationDidFinishLaunching fired", "menu bar", "hud", "bridge",
                                                "[twk] MenuBarController constructed"}));
}

TEST_F(AppDelegateTest, WithoutATrayControllerThePermissionsAreStillReadAndNothingClaimsOne)
{
    AppDelegate delegate(state, permissions, router);
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(state.micGranted());
    EXPECT_FALSE(state.screenRecordingGranted());
    EXPECT_EQ(events, (std::vector<std::string>{"[twk] applicationDidFinishLaunching fired"}));
}

} // namespace
} // namespace twk
