#include "common/log.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_workspace.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "skills/app_description.h"
#include "skills/skills.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace twk {
namespace {

using namespace std::chrono_literals;

class AppSkillsTest : public ::testing::Test {
protected:
    std::string open(const std::string& name)
    {
        auto reply = test::startTask(loop, skills.openApp(name));
        loop.advance(1s); // past the focus wait
        EXPECT_TRUE(reply->has_value()) << name;
        return reply->value_or("");
    }

    test::VirtualMainLoop loop;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    Skills skills{{loop, workspace, mediaKeys, host}};
    std::vector<std::string> logged;
    LogCapture capture{[this](const std::string& line) { logged.push_back(line); }};
};

TEST_F(AppSkillsTest, MatchingPrefersIdentifierThenExactNameThenPartialName)
{
    workspace.apps = {{10, "org.example.notes", "Sticky Notes", true},
                      {11, "", "Notes", true},
                      {12, "com.slack.Slack", "Slack", true},
                      {13, "", std::nullopt, false},
                      {14, "über", "ÜBERSICHT", false}};
    EXPECT_EQ(skills.findRunningApp("notes")->pid, 11);             // exact name beats the earlier partial one
    EXPECT_EQ(skills.findRunningApp("COM.SLACK.slack")->pid, 12);   // identifier in any case
    EXPECT_EQ(skills.findRunningApp("Übersicht")->pid, 14);         // letter case beyond ASCII
    EXPECT_EQ(skills.findRunningApp("sticky")->pid, 10);
    workspace.apps.insert(workspace.apps.begin(), {9, "", "Slack Helper", false});
    EXPECT_EQ(skills.findRunningApp("slack")->pid, 12); // exact name, although a partial one comes first
    EXPECT_FALSE(skills.findRunningApp("calculator"));
    // A blank name is contained in every name; it must not pick one.
    EXPECT_FALSE(skills.findRunningApp(""));
    EXPECT_FALSE(skills.findRunningApp("  "));
}

TEST_F(AppSkillsTest, OpeningARunningAppFocusesItAndLaunchesNothing)
{
    workspace.apps = {{20, "", "Finder", true}, {21, "com.microsoft.VSCode", "Visual Studio Code", true}};
    EXPECT_EQ(open("code"), R"({"ok":true,"message":"focused Visual Studio Code"})");
    EXPECT_EQ(workspace.activated, std::vector<int>{21});
    EXPECT_TRUE(workspace.launched.empty());

    workspace.activationAccepted = false;
    EXPECT_EQ(open("finder"), R"({"ok":false,"error":"could not focus finder"})");
    EXPECT_EQ(logged.back(), "[twk/skill] error: could not focus finder");
    EXPECT_EQ(logged.end()[-2], "[twk] waitForFrontmost: timed out waiting for pid 20");
}

TEST_F(AppSkillsTest, WaitingForTheFrontPollsUntilTheDeadline)
{
    auto immediate = test::startTask(loop, skills.waitForFrontmost(5, 0));
    ASSERT_TRUE(immediate->has_value());
    EXPECT_FALSE(**immediate);
    EXPECT_EQ(logged, std::vector<std::string>{"[twk] waitForFrontmost: timed out waiting for pid 5"});

    auto later = test::startTask(loop, skills.waitForFrontmost(5, 1.0));
    loop.advance(95ms); // polls at 0, 30, 60, 90 ms
    workspace.frontmost = 5;
    loop.advance(24ms);
    EXPECT_FALSE(later->has_value()); // seen only at the next 30 ms poll
    loop.advance(1ms);
    ASSERT_TRUE(later->has_value());
    EXPECT_TRUE(**later);

    workspace.frontmost = 6;
    auto never = test::startTask(loop, skills.waitForFrontmost(5, 0.5));
    loop.advance(490ms);
    EXPECT_FALSE(never->has_value());
    loop.advance(20ms);
    ASSERT_TRUE(never->has_value());
    EXPECT_FALSE(**never);
}

TEST_F(AppSkillsTest, LaunchCandidatesComeByIdentifierThenExactNameThenTheScan)
{
    workspace.installed = {{"org.gnome.TextEditor", "Text Editor"},
                           {"org.example.calc-helper", "Calculator Helper"},
                           {"org.gnome.Calculator", "Calculator"}};
    const auto launchedFor = [&](const std::string& name) {
        workspace.launched.clear();
        auto reply = test::startTask(loop, skills.openApp(name));
        if (workspace.launched.size() != 1u) return std::string("nothing launched");
        workspace.launchCompletions.back()(std::nullopt);
        loop.runPosted();
        EXPECT_TRUE(reply->has_value());
        return workspace.launched[0].applicationId;
    };
    EXPECT_EQ(launchedFor("org.gnome.Calculator"), "org.gnome.Calculator");
    EXPECT_EQ(launchedFor("calculator"), "org.gnome.Calculator"); // exact name before the scan
    EXPECT_EQ(launchedFor("calc"), "org.example.calc-helper");    // the scan: first partial hit
    EXPECT_EQ(launchedFor("ORG.GNOME.CALCULATOR"), "nothing launched"); // identifiers keep their case
    EXPECT_EQ(skills.findAppURL("calculator")->applicationId, "org.example.calc-helper");
    EXPECT_FALSE(skills.findAppURL(""));

    auto none = test::startTask(loop, skills.openApp("Photoshop"));
    ASSERT_TRUE(none->has_value());
    EXPECT_EQ(**none, R"({"ok":false,"error":"no app matching Photoshop"})");
    EXPECT_EQ(logged.back(), "[twk/skill] error: no app matching Photoshop");
}

TEST_F(AppSkillsTest, ALaunchIsWaitedForAtMostSixSeconds)
{
    workspace.installed = {{"org.gnome.Calculator", "Calculator"}};

    auto failed = test::startTask(loop, skills.openApp("calculator"));
    workspace.launchCompletions.back()(std::string("Failed to execute child process “gnome-calculator”"));
    loop.runPosted();
    ASSERT_TRUE(failed->has_value());
    EXPECT_EQ(**failed, R"({"ok":false,"error":"launch failed: Failed to execute child process “gnome-calculator”"})");

    auto silent = test::startTask(loop, skills.openApp("calculator"));
    loop.advance(5900ms);
    EXPECT_FALSE(silent->has_value());
    loop.advance(100ms);
    ASSERT_TRUE(silent->has_value());
    EXPECT_EQ(**silent, R"({"ok":true,"message":"opened Calculator"})");
    // A report after the wait changes nothing.
    workspace.launchCompletions.back()(std::string("too late"));
    loop.runPosted();
    EXPECT_EQ(**silent, R"({"ok":true,"message":"opened Calculator"})");

    // The report may come from another thread.
    auto threaded = test::startTask(loop, skills.openApp("calculator"));
    std::thread([done = workspace.launchCompletions.back()] { done(std::nullopt); }).join();
    ASSERT_TRUE(loop.runUntil([&] { return threaded->has_value(); }));
    EXPECT_EQ(**threaded, R"({"ok":true,"message":"opened Calculator"})");
}

TEST_F(AppSkillsTest, QuittingAsksTheMatchingAppPolitely)
{
    workspace.apps = {{30, "com.slack.Slack", "Slack", true}};
    EXPECT_EQ(skills.quitApp("slack"), R"({"ok":true,"message":"quit Slack"})");
    EXPECT_EQ(workspace.terminated, std::vector<int>{30});
    workspace.terminationAccepted = false;
    EXPECT_EQ(skills.quitApp("slack"), R"({"ok":false,"error":"could not quit slack"})");
    EXPECT_EQ(skills.quitApp("mail"), R"({"ok":false,"error":"no running app matches mail"})");
    EXPECT_EQ(skills.quitApp(""), R"({"ok":false,"error":"no running app matches "})");
    EXPECT_EQ(workspace.terminated.size(), 2u);

    // Asked for by what it is, as when opening it; only a running one is quit.
    workspace.terminationAccepted = true;
    workspace.installed = {{"gnome-calculator", "Calculator Pro", "Calculator"},
                           {"galculator", "Galculator", "", {}, "an algebraic and RPN calculator"}};
    workspace.apps.push_back({31, "galculator", "Galculator", true});
    EXPECT_EQ(skills.quitApp("calculator"), R"({"ok":true,"message":"quit Galculator"})");
    EXPECT_EQ(workspace.terminated.back(), 31);
}

TEST_F(AppSkillsTest, OnlyRegularApplicationsAreEverQuit)
{
    workspace.apps = {{50, "openbox", "Openbox", false}, {51, "", "Dropbox", false}, {52, "", "VirtualBox", true}};
    EXPECT_EQ(skills.quitApp("dropbox"), R"({"ok":false,"error":"could not quit dropbox: Dropbox is part of the desktop or a background program; only applications with windows are quit"})");
    // The regular application, although background ones match earlier.
    EXPECT_EQ(skills.quitApp("box"), R"({"ok":true,"message":"quit VirtualBox"})");
    EXPECT_EQ(workspace.terminated, std::vector<int>{52});
    workspace.apps.pop_back();
    const auto refused = nlohmann::json::parse(skills.quitApp("box"));
    EXPECT_EQ(refused["ok"], false) << refused;
    EXPECT_EQ(workspace.terminated, std::vector<int>{52});
}

TEST_F(AppSkillsTest, MediaKeysSayWhenNoPlayerTookThem)
{
    EXPECT_EQ(skills.playPauseMedia(), R"({"ok":true,"message":"toggled play/pause"})");
    EXPECT_EQ(skills.nextTrack(), R"({"ok":true,"message":"next track"})");
    EXPECT_EQ(skills.previousTrack(), R"({"ok":true,"message":"previous track"})");
    EXPECT_EQ(mediaKeys.pressed(), (std::vector<MediaKey>{MediaKey::playPause, MediaKey::next, MediaKey::previous}));

    mediaKeys.outcome = MediaKeyOutcome::noPlayer;
    EXPECT_EQ(skills.playPauseMedia(), R"({"ok":false,"error":"no media player is running"})");
    EXPECT_EQ(logged.back(), "[twk/skill] error: no media player is running");
    for (const auto outcome : {MediaKeyOutcome::refused, MediaKeyOutcome::failed}) {
        mediaKeys.outcome = outcome;
        EXPECT_EQ(nlohmann::json::parse(skills.nextTrack())["ok"], false);
    }
}

TEST_F(AppSkillsTest, BrandNamedApplicationsAreFoundByWhatTheyAre)
{
    workspace.installed = {{"org.xfce.mousepad-settings", "Text Editor Settings"},
                           {"org.xfce.mousepad", "Mousepad", "Text Editor", {}, "a simple text editor"},
                           {"vim", "Vim", "Text Editor", {"Text", "editor"}},
                           {"org.example.viewer", "Viewer", "Image Viewer", {"photo", "picture"}},
                           {"galculator", "Galculator", "", {}, "a GTK 2 / GTK 3 algebraic and RPN calculator"}};
    const auto launchedFor = [&](const std::string& name) {
        workspace.launched.clear();
        auto reply = test::startTask(loop, skills.openApp(name));
        loop.advance(7s);
        return workspace.launched.size() == 1u ? workspace.launched[0].applicationId : "nothing launched";
    };
    // A generic name said in full comes before a name that merely contains it.
    EXPECT_EQ(launchedFor("text editor"), "org.xfce.mousepad");
    EXPECT_EQ(launchedFor("editor"), "org.xfce.mousepad-settings"); // any name before any description
    EXPECT_EQ(launchedFor("calculator"), "galculator");             // by its summary
    EXPECT_EQ(launchedFor("Photo"), "org.example.viewer");           // by a keyword
    EXPECT_EQ(launchedFor("image"), "org.example.viewer");           // by part of its generic name
    EXPECT_EQ(launchedFor("calc"), "nothing launched");              // descriptions match whole words only

    // Running already: focused, not started twice.
    workspace.apps = {{60, "galculator", "Galculator", true}};
    EXPECT_EQ(open("calculator"), R"({"ok":true,"message":"focused Galculator"})");
    EXPECT_TRUE(workspace.launched.empty());
    EXPECT_EQ(workspace.activated, std::vector<int>{60});
}

TEST(AppDescriptionTest, WordsMatchWholeAndInAnyScript)
{
    EXPECT_TRUE(holdsWords("A GTK 2 / GTK 3 algebraic and RPN Calculator", "rpn calculator"));
    EXPECT_FALSE(holdsWords("Text Editor", "edit"));
    EXPECT_FALSE(holdsWords("Calculators", "calculator"));
    EXPECT_TRUE(holdsWords("Éditeur de texte", "éditeur"));
    EXPECT_FALSE(holdsWords("Texteditor", "editor"));
    EXPECT_FALSE(holdsWords("anything", " "));
}

} // namespace
} // namespace twk
