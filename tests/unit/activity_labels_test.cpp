#include "tools/tool_catalogue.h"
#include "tools/tool_dispatcher.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

std::string label(const std::string& name, const std::string& args = "{}")
{
    return ToolDispatcher::activityLabel(name, args);
}

TEST(ActivityLabels, EveryRoutedToolHasItsOwnLabel)
{
    struct Case {
        const char* name;
        const char* args;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"open_app", R"({"name":"Slack"})", "Opening Slack"},
        {"quit_app", R"({"name":"Slack"})", "Quitting Slack"},
        {"list_apps", "{}", "Listing open apps"},
        {"play_pause_media", "{}", "Play / pause"},
        {"next_track", "{}", "Next track"},
        {"previous_track", "{}", "Previous track"},
        {"play_on_apple_music", R"({"query":"lofi"})", "Playing lofi on Apple Music"},
        {"play_on_spotify", R"({"query":"lofi"})", "Opening lofi on Spotify"},
        {"set_volume", R"({"percent":30})", "Setting volume to 30%"},
        {"set_dark_mode", R"({"on":false})", "Light mode on"},
        {"set_wifi", R"({"on":"off"})", "Turning Wi-Fi off"},
        {"open_url", R"({"url":"example.org"})", "Opening example.org"},
        {"search_web", R"({"query":"cats"})", "Searching the web for cats"},
        {"spotlight_search", R"({"query":"resume"})", "Spotlight: resume"},
        {"send_imessage", R"({"recipient":"Mom"})", "Messaging Mom"},
        {"message_in_app", R"({"app":"Slack","person":"Orlen"})", "Messaging Orlen on Slack"},
        {"compose_email", R"({"to":"orlen@example.org"})", "Composing email to orlen@example.org"},
        {"add_reminder", R"({"text":"x"})", "Adding reminder"},
        {"add_calendar_event", "{}", "Adding calendar event"},
        {"run_shortcut", R"({"name":"Focus"})", "Running shortcut Focus"},
        {"web_command", R"({"task":"play foo"})", "Web: play foo"},
        {"web_navigate", R"({"url":"https://example.org"})", "Navigating to https://example.org"},
        {"inspect_screen", "{}", "Looking at the screen"},
        {"click_mark", R"({"id":"7"})", "Clicking element 7"},
        {"fill_mark", R"({"id":3})", "Typing into a field"},
        {"list_menus", R"({"app":"Files"})", "Reading Files menus"},
        {"invoke_menu", R"({"path":["File","Save As\u2026"]})", "Menu: File \u203A Save As\u2026"},
        {"press_key", R"({"combo":"cmd+s"})", "Pressing cmd+s"},
        {"type_text", R"({"text":"hi"})", "Typing"},
        {"scroll", "{}", "Scrolling"},
        {"do_task", R"({"description":"In Slack, open #general"})", "In Slack, open #general"},
        {"set_plan", R"({"steps":["a"]})", "Planning\u2026"},
        {"complete_step", "{}", ""},
        {"stop", "{}", "Stopping"},
    };
    for (const auto& c : cases) EXPECT_EQ(label(c.name, c.args), c.expected) << c.name;

    // Each offered tool has a label of its own, not the fallback wording.
    for (const auto& tool : toolCatalogue()) {
        std::string name = tool["name"];
        std::string words = name;
        std::replace(words.begin(), words.end(), '_', ' ');
        EXPECT_NE(label(name), words) << name;
    }
}

TEST(ActivityLabels, MissingOrOddArgumentsFallBackQuietly)
{
    EXPECT_EQ(label("open_app", "not json"), "Opening ");
    EXPECT_EQ(label("message_in_app", R"({"app":5})"), "Messaging  on ");
    EXPECT_EQ(label("set_volume", "{}"), "Setting volume to 0%");
    EXPECT_EQ(label("set_volume", R"({"percent":45.9})"), "Setting volume to 45%");
    EXPECT_EQ(label("set_volume", R"({"percent":"30"})"), "Setting volume to 30%");
    EXPECT_EQ(label("set_volume", R"({"percent":"nan"})"), "Setting volume to 0%");
    EXPECT_EQ(label("set_volume", R"({"percent":1e300})"), "Setting volume to 0%");
    EXPECT_EQ(label("set_dark_mode", "{}"), "Dark mode on");
    EXPECT_EQ(label("set_dark_mode", R"({"on":null})"), "Dark mode on");
    EXPECT_EQ(label("set_wifi", R"({"on":"YES"})"), "Turning Wi-Fi on");
    EXPECT_EQ(label("click_mark", "{}"), "Clicking element 0");
    EXPECT_EQ(label("list_menus", R"({"app":""})"), "Reading the menus");
    EXPECT_EQ(label("invoke_menu", R"({"path":"File"})"), "Menu: ");
    EXPECT_EQ(label("invoke_menu", R"({"path":["File",2]})"), "Menu: ");
    EXPECT_EQ(label("do_task", "[]"), "");
}

TEST(ActivityLabels, UnknownNamesReadAsTheirWords)
{
    EXPECT_EQ(label("launch_rocket"), "launch rocket");
    EXPECT_EQ(label("Open_App", R"({"name":"x"})"), "Open App");
    EXPECT_EQ(label(""), "");
}

} // namespace
} // namespace twk
