#include "app/app_state.h"
#include "bridge/chrome_bridge.h"
#include "common/cancellation_token.h"
#include "common/worker_pool.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_system_controls.h"
#include "fakes/fake_websocket_listener.h"
#include "fakes/fake_workspace.h"
#include "fakes/memory_settings.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "tools/tool_dispatcher.h"

#include <gtest/gtest.h>

#include <cmath>

namespace twk {
namespace {

using namespace std::chrono_literals;
using Set = test::FakeOutputVolume::Set;

class SystemSkillsTest : public ::testing::Test {
protected:
    std::string run(const std::string& name, const std::string& args)
    {
        return test::runTask(loop, tools.run(name, args)).text;
    }

    test::VirtualMainLoop loop;
    test::MemorySettings settings;
    AppState state{settings, loop};
    CancellationToken cancellation;
    test::FakeHost host;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeOutputVolume volume;
    test::FakeDesktopAppearance appearance;
    test::FakeWifiRadio wifi;
    test::FakeAutomations automations;
    test::FakeDesktopLauncher launcher;
    Skills skills{{.loop = loop,
                   .workspace = workspace,
                   .mediaKeys = mediaKeys,
                   .host = host,
                   .volume = volume,
                   .appearance = appearance,
                   .wifi = wifi,
                   .automations = automations,
                   .launcher = launcher,
                   .shortcutTimeLimit = 3s}};
    WorkerPool workers{1};
    test::FakeWebSocketListener bridgeListener;
    ChromeBridge bridge{loop, bridgeListener, ExtensionOriginPolicy()};
    ToolDispatcher tools{{loop, state, cancellation, host, workspace, skills, workers, bridge}};
};

TEST_F(SystemSkillsTest, VolumeIsClampedAndFallsBackToEachChannel)
{
    EXPECT_EQ(skills.setVolume(150), R"({"ok":true,"message":"volume 100%"})");
    EXPECT_EQ(skills.setVolume(-5), R"({"ok":true,"message":"volume 0%"})");
    EXPECT_EQ(skills.setVolume(29), R"({"ok":true,"message":"volume 29%"})");
    EXPECT_EQ(volume.accepted, (std::vector<Set>{{std::nullopt, 1.0f}, {std::nullopt, 0.0f}, {std::nullopt, 0.29f}}));

    // An output that takes no volume for all channels at once gets it per
    // channel; one channel taking it is enough.
    volume.accepted.clear();
    volume.refuseAllChannels = true;
    volume.refusedChannels = {0};
    EXPECT_EQ(skills.setVolume(40), R"({"ok":true,"message":"volume 40%"})");
    EXPECT_EQ(volume.accepted, (std::vector<Set>{{1, 0.4f}}));

    volume.refusedChannels = {0, 1};
    EXPECT_EQ(skills.setVolume(40), R"({"ok":false,"error":"volume not settable"})");
    EXPECT_EQ(skills.setVolume(std::nan("")), R"({"ok":false,"error":"volume must be a number from 0 to 100"})");
    volume.output.reset();
    EXPECT_EQ(skills.setVolume(40), R"({"ok":false,"error":"could not read default output"})");
    EXPECT_EQ(volume.accepted.size(), 1u);
}

TEST_F(SystemSkillsTest, RoutesReadTheirArgumentsWithTheirDefaults)
{
    // Unreadable or absent switches mean on; only a word for "off" turns off.
    run("set_wifi", R"({"on":"off"})");
    run("set_wifi", R"({"on":1})");
    run("set_wifi", "{}");
    run("set_wifi", "not json");
    EXPECT_EQ(wifi.requests, (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(run("set_dark_mode", R"({"on":false})"), R"({"ok":true,"message":"dark mode off"})");
    EXPECT_EQ(run("set_dark_mode", R"({"on":[]})"), R"({"ok":true,"message":"dark mode on"})");
    EXPECT_EQ(appearance.requests, (std::vector<bool>{false, true}));

    EXPECT_EQ(run("set_volume", R"({"percent":"30"})"), R"({"ok":true,"message":"volume 30%"})");
    EXPECT_EQ(run("set_volume", "{"), R"({"ok":true,"message":"volume 50%"})");

    run("run_shortcut", R"({"name":"Backup","input":""})");
    run("run_shortcut", R"({"name":"Backup","input":"notes"})");
    ASSERT_EQ(automations.calls.size(), 2u);
    EXPECT_EQ(automations.calls[0].input, std::nullopt);
    EXPECT_EQ(automations.calls[1].input, std::optional<std::string>("notes"));
    EXPECT_EQ(automations.calls[1].timeLimit, 3s);
}

TEST_F(SystemSkillsTest, DarkModeAndWifiReportWhatTheSystemRefused)
{
    appearance.failure = "this desktop (Sway) has no colour scheme setting Tarnwick can change";
    EXPECT_EQ(skills.setDarkMode(true),
              R"({"ok":false,"error":"dark mode failed: this desktop (Sway) has no colour scheme setting Tarnwick can change"})");

    wifi.refusal = std::string(100, 'x') + "é" + std::string(100, 'y');
    EXPECT_EQ(skills.setWifi(false),
              R"({"ok":false,"error":"Wi-Fi toggle failed: )" + std::string(100, 'x') + "é" + std::string(19, 'y') + "\"}");
    wifi.refusal.reset();
    EXPECT_EQ(skills.setWifi(true), R"({"ok":true,"message":"Wi-Fi turned on"})");

    wifi.device.reset();
    EXPECT_EQ(skills.setWifi(false), R"({"ok":false,"error":"couldn't find a Wi-Fi device"})");
    EXPECT_EQ(wifi.requests.size(), 2u);
}

TEST_F(SystemSkillsTest, AddressesAreTrimmedGivenAWebSchemeAndRefusedWhenNothingOpensThem)
{
    EXPECT_EQ(skills.openURL("  example.org/docs?page=2 \n"),
              R"({"ok":true,"message":"opened https://example.org/docs?page=2"})");
    EXPECT_EQ(skills.openURL("ftp://files.example.org/a"), R"({"ok":true,"message":"opened ftp://files.example.org/a"})");
    EXPECT_EQ(skills.openURL("zotero://select/items/1"), R"({"ok":true,"message":"opened zotero://select/items/1"})");
    EXPECT_EQ(workspace.opened, (std::vector<std::string>{"https://example.org/docs?page=2", "ftp://files.example.org/a",
                                                          "zotero://select/items/1"}));

    EXPECT_EQ(skills.openURL("   "), R"({"ok":false,"error":"invalid url: https://"})");
    EXPECT_EQ(skills.openURL("two words"), R"({"ok":false,"error":"invalid url: https://two words"})");
    EXPECT_EQ(skills.searchWeb(" \t\n "), R"({"ok":false,"error":"empty query"})");
    EXPECT_EQ(workspace.opened.size(), 3u);

    workspace.openAccepted = false;
    EXPECT_EQ(skills.openURL("example.org"), R"({"ok":false,"error":"could not open https://example.org"})");
}

TEST_F(SystemSkillsTest, TheLauncherSearchIsReportedOnlyWhenTheLauncherTookIt)
{
    EXPECT_EQ(run("spotlight_search", R"({"query":"résumé 2024"})"),
              R"({"ok":true,"message":"opened the launcher search for: résumé 2024"})");
    launcher.acceptsQueries = false;
    launcher.shortcut = "alt+f2"; // but nothing here to press it with
    EXPECT_EQ(run("spotlight_search", R"({"query":"notes"})"),
              R"({"ok":false,"error":"launcher search failed: this desktop's launcher has no shortcut Tarnwick can press"})");
    EXPECT_EQ(launcher.queries, (std::vector<std::string>{"résumé 2024", "notes"}));
}

TEST_F(SystemSkillsTest, ShortcutRepliesCarryItsOutputOrItsErrorCutAt200Characters)
{
    automations.result = {AutomationRun::Outcome::exited, 0, "done\n", {}, {}};
    EXPECT_EQ(skills.runShortcut("Backup", std::nullopt), R"({"ok":true,"message":"ran shortcut \"Backup\" — done\n"})");
    automations.result.output.clear();
    EXPECT_EQ(skills.runShortcut("Backup", std::nullopt), R"({"ok":true,"message":"ran shortcut \"Backup\""})");

    const std::string longError = std::string(199, 'e') + "ü" + std::string(50, 'f');
    automations.result = {AutomationRun::Outcome::exited, 1, {}, longError, {}};
    EXPECT_EQ(skills.runShortcut("Backup", std::nullopt),
              R"({"ok":false,"error":"shortcut \"Backup\" failed: )" + std::string(199, 'e') + "ü\"}");

    automations.result = {AutomationRun::Outcome::timedOut, 0, {}, {}, {}};
    EXPECT_EQ(skills.runShortcut("Backup", std::nullopt),
              R"({"ok":false,"error":"shortcut \"Backup\" failed: still running after 3 seconds, so it was stopped"})");
}

TEST_F(SystemSkillsTest, ShortcutNamesThatAreNotPlainFileNamesRunNothing)
{
    for (const std::string& name : std::vector<std::string>{"", ".", "..", "../bin/sh", "/bin/sh", "a/b", std::string("ok\0x", 4)}) {
        const std::string reply = skills.runShortcut(name, std::nullopt);
        EXPECT_NE(reply.find("not a shortcut name"), std::string::npos) << name;
    }
    EXPECT_TRUE(automations.calls.empty());
    // Anything else is a file name, and goes through as one.
    skills.runShortcut("..hidden $(id) 'x'", "in");
    ASSERT_EQ(automations.calls.size(), 1u);
    EXPECT_EQ(automations.calls[0].name, "..hidden $(id) 'x'");
}

} // namespace
} // namespace twk
