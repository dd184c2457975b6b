#include "platform/linux/linux_workspace.h"

#include "platform/linux/ewmh_windows.h"

#include "integration/process_helpers.h"
#include "integration/qt_spin.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

namespace twk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::spinUntil;

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Field `n` (1-based, as in proc(5)) of /proc/PID/stat; empty when gone.
std::string statField(int pid, int n)
{
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t afterName = stat.rfind(')');
    if (afterName == std::string::npos) return {};
    std::istringstream fields(stat.substr(afterName + 2));
    std::string field;
    for (int i = 3; i <= n && fields >> field; ++i) {}
    return field;
}

/// Polls `done` at a steady pace: window-list queries back to back kept the X
/// server busy enough to stall a starting application for many seconds.
bool pollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    return spinUntil([&] {
        std::this_thread::sleep_for(20ms);
        return done();
    }, timeout);
}

bool exited(int pid)
{
    const std::string state = statField(pid, 3);
    return state.empty() || state == "Z";
}

bool hasZombieChildren()
{
    for (const auto& dir : fs::directory_iterator("/proc")) {
        const std::string name = dir.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const int pid = std::stoi(name);
        if (statField(pid, 4) == std::to_string(getpid()) && statField(pid, 3) == "Z") return true;
    }
    return false;
}

/// A mapped top-level window of this very process, as the popover or the
/// HUD of the application would be.
class OwnWindow {
public:
    OwnWindow() : connection_(xcb_connect(nullptr, nullptr))
    {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 100, 100, 320, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const uint32_t pid = static_cast<uint32_t>(getpid());
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32,
                            1, &pid);
        const char wmClass[] = "tarnwick\0Tarnwick";
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            sizeof wmClass, wmClass);
        xcb_map_window(connection_, window_);
        xcb_flush(connection_);
    }
    ~OwnWindow() { xcb_disconnect(connection_); }
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;

    uint32_t id() const { return window_; }

private:
    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
        xcb_atom_t atom = XCB_ATOM_NONE;
        if (reply != nullptr) atom = reply->atom;
        std::free(reply);
        return atom;
    }

    xcb_connection_t* connection_;
    xcb_window_t window_ = 0;
};

class LinuxWorkspaceTest : public ::testing::Test {
protected:
    const fs::path applications = fs::path(std::getenv("XDG_DATA_HOME")) / "applications";

    void TearDown() override
    {
        for (const int pid : seen_) ::kill(pid, SIGKILL);
    }

    /// The running application with this id, once it has a window (until
    /// then a starting program counts as a background one).
    std::optional<RunningApplication> waitForApp(const std::string& applicationId)
    {
        std::optional<RunningApplication> found;
        pollUntil([&] {
            for (const auto& app : workspace.runningApplications())
                if (app.applicationId == applicationId && app.regular) found = app;
            return found.has_value();
        });
        if (found) seen_.insert(found->pid);
        return found;
    }

    /// The regular applications with these pids, once all are listed.
    std::map<int, RunningApplication> waitForPids(const std::set<int>& pids)
    {
        std::map<int, RunningApplication> found;
        pollUntil([&] {
            found.clear();
            for (const auto& app : workspace.runningApplications())
                if (pids.count(app.pid) != 0 && app.regular) found[app.pid] = app;
            return found.size() == pids.size();
        });
        return found;
    }

    bool waitForFrontmost(int pid)
    {
        return pollUntil([&] { return workspace.frontmostApplicationPid() == pid; });
    }

    /// Launches and waits for the completion: nothing on success, else the error.
    std::optional<std::string> launchAndWait(const std::string& applicationId)
    {
        struct Report {
            std::mutex mutex;
            int calls = 0;
            std::optional<std::string> error;
        };
        auto report = std::make_shared<Report>();
        workspace.launch({applicationId, applicationId}, [report](std::optional<std::string> error) {
            std::lock_guard lock(report->mutex);
            ++report->calls;
            report->error = std::move(error);
        });
        const auto calls = [&] {
            std::lock_guard lock(report->mutex);
            return report->calls;
        };
        EXPECT_TRUE(spinUntil([&] { return calls() > 0; }));
        std::this_thread::sleep_for(50ms); // a second report would come at once
        std::lock_guard lock(report->mutex);
        EXPECT_EQ(report->calls, 1) << applicationId;
        return report->error;
    }

    LinuxWorkspace workspace;

private:
    std::set<int> seen_;
};

TEST_F(LinuxWorkspaceTest, LaunchedApplicationIsListedComesToTheFrontAndQuitsPolitely)
{
    EXPECT_EQ(launchAndWait("galculator"), std::nullopt);
    const auto calculator = waitForApp("galculator");
    ASSERT_TRUE(calculator);
    EXPECT_EQ(calculator->localizedName, "Galculator");
    EXPECT_TRUE(calculator->regular);
    EXPECT_TRUE(waitForFrontmost(calculator->pid));

    // Detached from us: nothing left to reap, and not in our session.
    EXPECT_FALSE(hasZombieChildren());
    EXPECT_NE(statField(calculator->pid, 6), std::to_string(getsid(0)));

    EXPECT_TRUE(workspace.terminate(calculator->pid));
    EXPECT_TRUE(pollUntil([&] { return exited(calculator->pid); }));
    EXPECT_FALSE(workspace.terminate(calculator->pid));
    EXPECT_FALSE(workspace.terminate(0)); // never a whole process group
}

TEST_F(LinuxWorkspaceTest, ActivatingBringsAnApplicationBackInFront)
{
    EXPECT_EQ(launchAndWait("galculator"), std::nullopt);
    const auto calculator = waitForApp("galculator");
    ASSERT_TRUE(calculator);
    ASSERT_TRUE(waitForFrontmost(calculator->pid));

    // Started by hand: found by its program, not by the settings entry that
    // runs the same program with --preferences.
    test::ChildProcess editorProcess("/usr/bin/mousepad", {});
    const auto editor = waitForApp("org.xfce.mousepad");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->pid, editorProcess.pid());
    EXPECT_EQ(editor->localizedName, "Mousepad");
    ASSERT_TRUE(waitForFrontmost(editor->pid));

    EXPECT_TRUE(workspace.activate(calculator->pid));
    EXPECT_TRUE(waitForFrontmost(calculator->pid));
    EXPECT_TRUE(workspace.activate(editor->pid));
    EXPECT_TRUE(waitForFrontmost(editor->pid));
    EXPECT_FALSE(workspace.activate(getpid())); // no window of ours
}

TEST_F(LinuxWorkspaceTest, WindowsAreJoinedWithEntriesByWindowClassAndBackgroundProcessesAreNotRegular)
{
    writeFile(applications / "twk-startup.desktop",
              "[Desktop Entry]\nType=Application\nName=Startup Probe\nExec=true\nStartupWMClass=TwkStartup\n");
    writeFile(applications / "twkbyid.desktop", "[Desktop Entry]\nType=Application\nName=Id Probe\nExec=true\n");
    test::ChildProcess byStartupClass("/usr/bin/zenity", {"--info", "--class=TwkStartup"});
    test::ChildProcess byId("/usr/bin/zenity", {"--info", "--class=TwkById"});
    test::ChildProcess withoutEntry("/usr/bin/zenity", {"--info", "--class=TwkNoEntry"});

    auto byPid = waitForPids({byStartupClass.pid(), byId.pid(), withoutEntry.pid()});
    ASSERT_EQ(byPid.size(), 3u);
    EXPECT_EQ(byPid[byStartupClass.pid()].applicationId, "twk-startup");
    EXPECT_EQ(byPid[byStartupClass.pid()].localizedName, "Startup Probe");
    EXPECT_EQ(byPid[byId.pid()].applicationId, "twkbyid");
    EXPECT_EQ(byPid[byId.pid()].localizedName, "Id Probe");
    EXPECT_EQ(byPid[withoutEntry.pid()].applicationId, "");
    EXPECT_EQ(byPid[withoutEntry.pid()].localizedName, "TwkNoEntry");

    // The window manager owns only unmanaged windows and sets no _NET_WM_PID
    // on them: the X server names its process.
    const auto apps = workspace.runningApplications();
    const auto wm = std::find_if(apps.begin(), apps.end(), [](const auto& app) {
        return readFile("/proc/" + std::to_string(app.pid) + "/comm") == "openbox\n";
    });
    ASSERT_NE(wm, apps.end());
    EXPECT_FALSE(wm->regular);
    EXPECT_EQ(wm->applicationId, "openbox");
}

TEST_F(LinuxWorkspaceTest, TheDesktopsOwnProcessesAndThisOneAreNeverQuit)
{
    // Right after it started, the window manager may not have its windows yet.
    std::optional<RunningApplication> wm;
    pollUntil([&] {
        for (const auto& app : workspace.runningApplications())
            if (app.applicationId == "openbox") wm = app;
        return wm.has_value();
    });
    ASSERT_TRUE(wm);
    EXPECT_FALSE(workspace.terminate(wm->pid));
    EXPECT_FALSE(workspace.terminate(getpid()));

    // A panel: the owner of a dock window.
    test::ChildProcess panel("/usr/bin/zenity", {"--info", "--text=panel"});
    ASSERT_EQ(waitForPids({panel.pid()}).size(), 1u);
    const auto windows = EwmhWindows::open(std::getenv("DISPLAY"));
    ASSERT_TRUE(windows);
    const auto facts = windows->describe(windows->clientList());
    const auto window = std::find_if(facts.begin(), facts.end(), [&](const auto& f) { return f.pid == panel.pid(); });
    ASSERT_NE(window, facts.end());
    test::ChildProcess dock("/usr/bin/xprop", {"-id", std::to_string(window->window), "-f", "_NET_WM_WINDOW_TYPE",
                                               "32a", "-set", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK"});
    ASSERT_EQ(dock.waitForExit(), 0) << dock.output();
    EXPECT_FALSE(workspace.terminate(panel.pid()));

    std::this_thread::sleep_for(300ms); // a close request or SIGTERM would have taken effect
    EXPECT_FALSE(exited(wm->pid));
    EXPECT_FALSE(exited(panel.pid()));
}

TEST_F(LinuxWorkspaceTest, ClosingAWindowThatDoesNotQuitLeavesTheApplicationToDecide)
{
    // zenity's question answers "no" (exit 1) when its window is closed:
    // the close request reached the program, which exited on its own terms.
    test::ChildProcess question("/usr/bin/zenity", {"--question", "--text=Save?"});
    ASSERT_EQ(waitForPids({question.pid()}).size(), 1u);
    EXPECT_TRUE(workspace.terminate(question.pid()));
    EXPECT_EQ(question.waitForExit(), 1);
}

TEST_F(LinuxWorkspaceTest, InstalledApplicationsAreListedAndFoundByExactId)
{
    const auto installed = workspace.installedApplications();
    const auto has = [&](const std::string& id) {
        return std::any_of(installed.begin(), installed.end(), [&](const auto& a) { return a.applicationId == id; });
    };
    EXPECT_TRUE(has("galculator"));
    EXPECT_FALSE(has("openbox")); // NoDisplay

    const auto calculator = workspace.applicationWithId("galculator");
    ASSERT_TRUE(calculator);
    EXPECT_EQ(calculator->name, "Galculator");
    EXPECT_EQ(workspace.applicationWithId("galculator.desktop")->applicationId, "galculator");
    EXPECT_FALSE(workspace.applicationWithId("Galculator"));
    EXPECT_FALSE(workspace.applicationWithId(""));
}

TEST_F(LinuxWorkspaceTest, InstalledApplicationsCarryWhatTheCatalogueSaysTheyAre)
{
    writeFile(applications / "twk-probe.desktop",
              "[Desktop Entry]\nType=Application\nName=Probe\nGenericName=Signal Probe\nKeywords=scope;\nExec=true\n");
    // The user's catalogue comes first (its metainfo folder before its older
    // appdata one); translations are not what the user is matched against;
    // an add-on's component describes no application.
    const fs::path metainfo = fs::path(std::getenv("XDG_DATA_HOME")) / "metainfo";
    writeFile(metainfo / "twk-probe.metainfo.xml",
              "<?xml version=\"1.0\"?>\n<component type=\"desktop-application\">\n"
              "  <id>org.example.Probe</id>\n  <launchable type=\"desktop-id\">twk-probe.desktop</launchable>\n"
              "  <summary xml:lang=\"de\">Ein Oszilloskop</summary>\n  <summary>An oscilloscope &amp; meter</summary>\n"
              "  <description><p>Long text</p></description>\n"
              "  <keywords><keyword xml:lang=\"de\">Messung</keyword><keyword>signal</keyword></keywords>\n"
              "</component>\n");
    writeFile(metainfo / "twk-addon.metainfo.xml",
              "<component type=\"addon\"><id>galculator.desktop</id><summary>An add-on</summary></component>");
    writeFile(metainfo.parent_path() / "appdata" / "galculator.appdata.xml",
              "<component type=\"desktop\"><id>galculator.desktop</id><summary>Your own words</summary></component>");

    const auto installed = workspace.installedApplications();
    const auto find = [&](const std::string& id) {
        const auto it = std::find_if(installed.begin(), installed.end(), [&](const auto& a) { return a.applicationId == id; });
        return it != installed.end() ? *it : InstalledApplication{};
    };
    const auto probe = find("twk-probe");
    EXPECT_EQ(probe.genericName, "Signal Probe");
    EXPECT_EQ(probe.summary, "An oscilloscope & meter");
    EXPECT_EQ(probe.keywords, (std::vector<std::string>{"scope", "signal"}));
    EXPECT_EQ(find("galculator").summary, "Your own words");
}

TEST_F(LinuxWorkspaceTest, LaunchFailuresReportTheirReason)
{
    const fs::path program = fs::path(std::getenv("HOME")) / "vanishing";
    writeFile(program, "#!/bin/sh\n");
    fs::permissions(program, fs::perms::owner_all);
    writeFile(applications / "twk-vanishing.desktop",
              "[Desktop Entry]\nType=Application\nName=Vanishing\nExec=" + program.string() + "\n");
    writeFile(applications / "twk-nowhere.desktop",
              "[Desktop Entry]\nType=Application\nName=Nowhere\nExec=true\nPath=/nonexistent/dir\n");
    // Started by the session bus, which has no such service.
    writeFile(applications / "org.example.TwkMissing.desktop",
              "[Desktop Entry]\nType=Application\nName=Missing\nExec=true\nDBusActivatable=true\n");
    ASSERT_TRUE(workspace.applicationWithId("twk-vanishing"));
    fs::remove(program);

    EXPECT_NE(launchAndWait("twk-vanishing"), std::nullopt);
    const auto nowhere = launchAndWait("twk-nowhere");
    ASSERT_TRUE(nowhere);
    EXPECT_NE(nowhere->find("/nonexistent/dir"), std::string::npos) << *nowhere;
    const auto missing = launchAndWait("org.example.TwkMissing");
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("org.example.TwkMissing"), std::string::npos) << *missing;
}

TEST_F(LinuxWorkspaceTest, StartedProgramsGetTheNullDeviceForTheirStandardStreams)
{
    // Ours are pipes under the test runner: a program holding them would keep
    // a reader of our output waiting until it exits.
    const fs::path program = fs::path(std::getenv("HOME")) / "streams";
    writeFile(program, "#!/bin/sh\nstreams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
                       "printf '%s\\n' \"$streams\" > \"$1.part\" && mv \"$1.part\" \"$1\"\n");
    fs::permissions(program, fs::perms::owner_all);
    const fs::path launched = fs::path(std::getenv("HOME")) / "launched", opened = fs::path(std::getenv("HOME")) / "opened";
    writeFile(applications / "twk-streams.desktop",
              "[Desktop Entry]\nType=Application\nName=Streams\nExec=" + program.string() + " " + launched.string() + "\n");
    writeFile(applications / "twk-streams-handler.desktop",
              "[Desktop Entry]\nType=Application\nName=Streams Handler\nNoDisplay=true\n"
              "MimeType=x-scheme-handler/twkstreams;\nExec=" + program.string() + " " + opened.string() + " %u\n");
    writeFile(fs::path(std::getenv("XDG_CONFIG_HOME")) / "mimeapps.list",
              "[Default Applications]\nx-scheme-handler/twkstreams=twk-streams-handler.desktop\n");

    EXPECT_EQ(launchAndWait("twk-streams"), std::nullopt);
    EXPECT_TRUE(workspace.openURL("twkstreams:x"));
    for (const auto& record : {launched, opened}) {
        EXPECT_TRUE(pollUntil([&] { return fs::exists(record); })) << record;
        EXPECT_EQ(readFile(record), "/dev/null\n/dev/null\n/dev/null\n") << record;
    }
}

TEST_F(LinuxWorkspaceTest, URLsReachTheirDefaultHandlerByteForByte)
{
    const fs::path received = fs::path(std::getenv("HOME")) / "received";
    writeFile(applications / "twk-recorder.desktop",
              "[Desktop Entry]\nType=Application\nName=Recorder\nNoDisplay=true\n"
              "MimeType=x-scheme-handler/twktest;text/plain;\nExec=" TWK_FIXTURES_DIR "/record_argument.sh " +
                  received.string() + " %u\n");
    writeFile(fs::path(std::getenv("XDG_CONFIG_HOME")) / "mimeapps.list",
              "[Default Applications]\nx-scheme-handler/twktest=twk-recorder.desktop\n"
              "text/plain=twk-recorder.desktop\n");

    const std::string notes = (fs::path(std::getenv("HOME")) / "notes.txt").string();
    writeFile(notes, "plain text\n");
    // A file is handed over as its path, as desktop entries may expect.
    const std::string tricky = "twktest:open?q=a b&c=$(touch x);`id`|'\"\\*<>%20é";
    const std::pair<std::string, std::string> cases[] = {{tricky, tricky}, {"file://" + notes, notes}};
    for (const auto& [url, argument] : cases) {
        fs::remove(received);
        EXPECT_TRUE(workspace.openURL(url)) << url;
        EXPECT_TRUE(pollUntil([&] { return fs::exists(received); })) << url;
        EXPECT_EQ(readFile(received), argument);
    }
    EXPECT_FALSE(workspace.openURL("twkunknown:anything"));
    EXPECT_FALSE(workspace.openURL(""));
}

TEST_F(LinuxWorkspaceTest, OurOwnWindowsAreNeverTheFrontmostOrARegularApplication)
{
    EXPECT_EQ(launchAndWait("galculator"), std::nullopt);
    const auto calculator = waitForApp("galculator");
    ASSERT_TRUE(calculator);
    ASSERT_TRUE(waitForFrontmost(calculator->pid));

    // Our panel takes the focus: the user's application is still the one in front.
    OwnWindow panel;
    const auto windows = EwmhWindows::open(std::getenv("DISPLAY"));
    ASSERT_TRUE(windows);
    ASSERT_TRUE(pollUntil([&] {
        windows->requestActivation(panel.id());
        return windows->activeWindow() == panel.id();
    }));
    EXPECT_EQ(workspace.frontmostApplicationPid(), calculator->pid);

    const auto apps = workspace.runningApplications();
    const auto us = std::find_if(apps.begin(), apps.end(), [](const auto& app) { return app.pid == getpid(); });
    ASSERT_NE(us, apps.end());
    EXPECT_FALSE(us->regular);
}

} // namespace
} // namespace twk
