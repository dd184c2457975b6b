#include "platform/linux/linux_desktop_appearance.h"
#include "platform/linux/linux_desktop_launcher.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/network_manager_wifi.h"
#include "platform/linux/script_automations.h"
#include "skills/skills.h"

#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/virtual_main_loop.h"
#include "integration/process_helpers.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace twk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;

void writeFile(const fs::path& path, const std::string& text, fs::perms perms = fs::perms::owner_read | fs::perms::owner_write)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, perms);
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool pollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    for (const auto until = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < until;) {
        if (done()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

/// Runs a tool to its end; its output, or nothing when it failed.
std::optional<std::string> tool(const std::string& path, const std::vector<std::string>& args)
{
    ChildProcess child(path, args);
    if (child.waitForExit(20s) != std::optional<int>(0)) return std::nullopt;
    return child.output();
}

const fs::path home() { return std::getenv("HOME"); }

class SystemSkillsTest : public ::testing::Test {
protected:
    Skills skillsWith(std::chrono::milliseconds shortcutLimit = 120s)
    {
        return Skills({.loop = loop,
                       .workspace = workspace,
                       .mediaKeys = mediaKeys,
                       .host = host,
                       .appearance = appearance,
                       .wifi = wifi,
                       .automations = automations,
                       .shortcutTimeLimit = shortcutLimit});
    }

    test::VirtualMainLoop loop;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    LinuxWorkspace workspace;
    LinuxDesktopAppearance appearance{"GNOME"};
    NetworkManagerWifi wifi{5s};
    ScriptAutomations automations;
};

TEST_F(SystemSkillsTest, DarkModeLandsInTheSettingsStoreWithTheMatchingTheme)
{
    Skills skills = skillsWith();
    ASSERT_TRUE(tool("/usr/bin/gsettings", {"set", "org.gnome.desktop.interface", "gtk-theme", "Adwaita"}));

    EXPECT_EQ(skills.setDarkMode(true), R"({"ok":true,"message":"dark mode on"})");
    EXPECT_EQ(tool("/usr/bin/gsettings", {"get", "org.gnome.desktop.interface", "color-scheme"}), "'prefer-dark'\n");
    EXPECT_EQ(tool("/usr/bin/gsettings", {"get", "org.gnome.desktop.interface", "gtk-theme"}), "'Adwaita-dark'\n");
    EXPECT_TRUE(fs::exists(fs::path(std::getenv("XDG_CONFIG_HOME")) / "dconf/user"));

    EXPECT_EQ(skills.setDarkMode(false), R"({"ok":true,"message":"dark mode off"})");
    EXPECT_EQ(tool("/usr/bin/gsettings", {"get", "org.gnome.desktop.interface", "color-scheme"}), "'default'\n");
    EXPECT_EQ(tool("/usr/bin/gsettings", {"get", "org.gnome.desktop.interface", "gtk-theme"}), "'Adwaita'\n");
}

// No fixture: PATH changes while no other thread of ours runs.
TEST(DarkModeElsewhereTest, ADesktopWhoseToolIsMissingSaysSo)
{
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", home().c_str(), 1); // neither tool is there
    EXPECT_EQ(LinuxDesktopAppearance("KDE").setDarkMode(true), "plasma-apply-colorscheme is not installed");
    EXPECT_EQ(LinuxDesktopAppearance("ubuntu:XFCE").setDarkMode(false), "xfconf-query is not installed");
    ::setenv("PATH", path.c_str(), 1);
}

/// NetworkManager's stand-in from python3-dbusmock on a private system bus.
class WifiTest : public SystemSkillsTest {
protected:
    void SetUp() override
    {
        const std::string address = "unix:path=" + std::string(std::getenv("XDG_RUNTIME_DIR")) + "/system_bus";
        // Before anything in this process reaches for the system bus.
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        bus_ = std::make_unique<ChildProcess>("/usr/bin/dbus-daemon",
                                              std::vector<std::string>{"--session", "--nofork", "--nopidfile",
                                                                       "--address=" + address});
        ASSERT_TRUE(pollUntil([&] { return fs::exists(address.substr(10)); }));
        manager_ = std::make_unique<ChildProcess>("/usr/bin/python3",
                                                  std::vector<std::string>{"-m", "dbusmock", "--system", "-t", "networkmanager"});
        ASSERT_TRUE(pollUntil([&] { return nm({"org.freedesktop.NetworkManager.GetDevices"}).has_value(); }));
    }

    std::optional<std::string> nm(std::vector<std::string> call)
    {
        call.insert(call.begin(), {"--system", "--print-reply", "--dest=org.freedesktop.NetworkManager",
                                   "/org/freedesktop/NetworkManager"});
        return tool("/usr/bin/dbus-send", call);
    }

    bool wirelessEnabled()
    {
        const auto reply = nm({"org.freedesktop.DBus.Properties.Get", "string:org.freedesktop.NetworkManager",
                               "string:WirelessEnabled"});
        return reply && reply->find("boolean true") != std::string::npos;
    }

    std::unique_ptr<ChildProcess> bus_, manager_;
};

TEST_F(WifiTest, TheRadioSwitchesOnlyWithAWifiDeviceAndReportsARefusal)
{
    Skills skills = skillsWith();
    ASSERT_TRUE(nm({"org.freedesktop.DBus.Mock.AddEthernetDevice", "string:eth", "string:eth0", "uint32:100"}));
    EXPECT_EQ(skills.setWifi(false), R"({"ok":false,"error":"couldn't find a Wi-Fi device"})");
    EXPECT_TRUE(wirelessEnabled());

    ASSERT_TRUE(nm({"org.freedesktop.DBus.Mock.AddWiFiDevice", "string:wifi", "string:wlp2s0", "uint32:100"}));
    EXPECT_EQ(wifi.wifiDevice(), std::optional<std::string>("wlp2s0"));
    EXPECT_EQ(skills.setWifi(false), R"({"ok":true,"message":"Wi-Fi turned off"})");
    EXPECT_FALSE(wirelessEnabled());
    EXPECT_EQ(skills.setWifi(true), R"({"ok":true,"message":"Wi-Fi turned on"})");
    EXPECT_TRUE(wirelessEnabled());

    // What polkit answers a user who may not control networking.
    ASSERT_TRUE(nm({"org.freedesktop.DBus.Mock.AddMethod", "string:org.freedesktop.DBus.Properties", "string:Set",
                    "string:ssv", "string:",
                    "string:raise dbus.exceptions.DBusException('Not authorized to control networking.', "
                    "name='org.freedesktop.NetworkManager.PermissionDenied')"}));
    EXPECT_EQ(skills.setWifi(false),
              R"({"ok":false,"error":"Wi-Fi toggle failed: Not authorized to control networking."})");
    EXPECT_TRUE(wirelessEnabled());
}

TEST(LauncherTest, KRunnerGetsTheQueryAsOneString)
{
    const fs::path received = home() / "query";
    ChildProcess krunner("/usr/bin/python3", {"-m", "dbusmock", "--session", "org.kde.krunner", "/App", "org.kde.krunner.App"});
    const std::vector<std::string> mock{"--session", "--print-reply", "--dest=org.kde.krunner", "/App"};
    auto addQuery = mock;
    addQuery.insert(addQuery.end(), {"org.freedesktop.DBus.Mock.AddMethod", "string:", "string:query", "string:s",
                                     "string:", "string:open('" + received.string() + "', 'w').write(args[0])"});
    ASSERT_TRUE(pollUntil([&] { return tool("/usr/bin/dbus-send", addQuery).has_value(); }));

    // Elsewhere a running KRunner is asked too; a desktop without one cannot be.
    const std::string hostile = "it's \"quoted\" $(touch pwned) `id`; x\n|&<>* ü";
    EXPECT_TRUE(LinuxDesktopLauncher("KDE").searchDirectly(hostile));
    EXPECT_EQ(readFile(received), hostile);
    EXPECT_TRUE(LinuxDesktopLauncher("GNOME").searchDirectly("notes"));
    EXPECT_EQ(readFile(received), "notes");
    krunner.sendSignal(SIGTERM);
    krunner.waitForExit();
    EXPECT_FALSE(LinuxDesktopLauncher("GNOME").searchDirectly("notes"));
    EXPECT_FALSE(fs::exists(home() / "pwned"));
}

class ShortcutTest : public SystemSkillsTest {
protected:
    const fs::path folder = fs::path(std::getenv("XDG_CONFIG_HOME")) / "tarnwick/shortcuts";

    void addShortcut(const std::string& name, const std::string& script)
    {
        writeFile(folder / name, "#!/bin/sh\n" + script, fs::perms::owner_all);
    }
};

TEST_F(ShortcutTest, AnAutomationReadsItsInputAndAnswers)
{
    Skills skills = skillsWith();
    addShortcut("Shout", "tr a-z A-Z\n");
    addShortcut("Fail", "echo 'disk full' >&2\nexit 3\n");
    EXPECT_EQ(skills.runShortcut("Shout", "hello"), R"({"ok":true,"message":"ran shortcut \"Shout\" — HELLO"})");
    EXPECT_EQ(skills.runShortcut("Shout", std::nullopt), R"({"ok":true,"message":"ran shortcut \"Shout\""})");
    EXPECT_EQ(skills.runShortcut("Fail", std::nullopt), R"({"ok":false,"error":"shortcut \"Fail\" failed: disk full\n"})");
    EXPECT_EQ(skills.runShortcut("Missing", std::nullopt),
              R"({"ok":false,"error":"shortcut \"Missing\" failed: there is no shortcut by that name in )" + folder.string() + "\"}");

    // Descriptors we hold open, even those a child would inherit, stay ours.
    const int ours = ::open("/dev/null", O_RDONLY);
    addShortcut("Descriptors", "if [ -e /proc/$$/fd/" + std::to_string(ours) + " ]; then echo inherited; fi\n");
    EXPECT_EQ(skills.runShortcut("Descriptors", std::nullopt), R"({"ok":true,"message":"ran shortcut \"Descriptors\""})");
    ::close(ours);

    // More input than a pipe holds, to a program that reads none of it.
    addShortcut("Deaf", "echo ignored\n");
    EXPECT_EQ(skills.runShortcut("Deaf", std::string(1 << 20, 'x')),
              R"({"ok":true,"message":"ran shortcut \"Deaf\" — ignored\n"})");
}

TEST_F(ShortcutTest, AHungAutomationIsStoppedWithEverythingItStarted)
{
    Skills skills = skillsWith(1s);
    const fs::path pids = home() / "pids";
    // A child that ignores the polite request, and the script itself waiting on it.
    addShortcut("Hang", "trap '' TERM\nsleep 300 &\necho $$ $! > " + pids.string() + "\nwait\n");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(skills.runShortcut("Hang", std::nullopt),
              R"({"ok":false,"error":"shortcut \"Hang\" failed: still running after 1 seconds, so it was stopped"})");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    int script = 0, child = 0;
    std::istringstream(readFile(pids)) >> script >> child;
    ASSERT_GT(child, 0);
    for (const int pid : {script, child})
        EXPECT_TRUE(pollUntil([&] { return ::kill(pid, 0) != 0 || readFile("/proc/" + std::to_string(pid) + "/stat").find(") Z") != std::string::npos; }, 3s)) << pid;
}

TEST_F(ShortcutTest, TextArgumentsReachProgramsOnlyAsData)
{
    Skills skills = skillsWith();
    const char raw[] = "it's \"quoted\" $(touch pwned) `touch pwned`; touch pwned\n|&<>*\0end";
    const std::string hostile(raw, sizeof raw - 1);
    const fs::path pwned = home() / "pwned";

    // An automation whose very name is hostile, getting hostile input.
    const fs::path received = home() / "stdin";
    const std::string name = "x $(touch pwned) `id`; 'q\" \\n";
    addShortcut(name, "cat > " + received.string() + "\n");
    const auto reply = nlohmann::json::parse(skills.runShortcut(name, hostile));
    EXPECT_EQ(reply["message"], "ran shortcut \"" + name + "\"") << reply;
    EXPECT_EQ(readFile(received), hostile);

    // Addresses and search terms reach the default handler as one argument.
    const fs::path opened = home() / "opened";
    writeFile(fs::path(std::getenv("XDG_DATA_HOME")) / "applications/twk-recorder.desktop",
              "[Desktop Entry]\nType=Application\nName=Recorder\nNoDisplay=true\n"
              "MimeType=x-scheme-handler/https;x-scheme-handler/twktest;\nExec=" TWK_FIXTURES_DIR "/record_argument.sh " +
                  opened.string() + " %u\n");
    writeFile(fs::path(std::getenv("XDG_CONFIG_HOME")) / "mimeapps.list",
              "[Default Applications]\nx-scheme-handler/https=twk-recorder.desktop\n"
              "x-scheme-handler/twktest=twk-recorder.desktop\n");
    const std::string url = "twktest://h/$(touch%20pwned);`id`'\"";
    EXPECT_EQ(skills.openURL(url), R"({"ok":true,"message":"opened twktest://h/$(touch%20pwned);`id`'\""})");
    ASSERT_TRUE(pollUntil([&] { return fs::exists(opened); }));
    EXPECT_EQ(readFile(opened), url);
    fs::remove(opened);
    EXPECT_EQ(skills.searchWeb("AT&T #1 $(touch pwned) `id` 'a\"b'; c"),
              R"({"ok":true,"message":"opened https://www.google.com/search?q=AT%26T%20%231%20%24%28touch%20pwned%29%20%60id%60%20%27a%22b%27%3B%20c"})");
    ASSERT_TRUE(pollUntil([&] { return fs::exists(opened); }));
    EXPECT_EQ(readFile(opened), "https://www.google.com/search?q=AT%26T%20%231%20%24%28touch%20pwned%29%20%60id%60%20%27a%22b%27%3B%20c");

    EXPECT_EQ(skills.openURL("twkunknown://x"), R"({"ok":false,"error":"could not open twkunknown://x"})");
    EXPECT_FALSE(fs::exists(pwned));
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
}

} // namespace
} // namespace twk
