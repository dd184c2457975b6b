#include "tools/tool_catalogue.h"
#include "tools/tool_dispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace twk {
namespace {

std::string label(const std::string& name, const std::string& args = "{}")
{
    return ToolDispatcher::activityLabel(name, args);
}

TEST(ActivityLabels, ArgumentsAreReadIntoTheLabel)
{
    EXPECT_EQ(label("message_in_app", R"({"app":"Slack","person":"Orlen"})"), "Messaging Orlen on Slack");
    EXPECT_EQ(label("set_wifi", R"({"on":"off"})"), "Turning Wi-Fi off");
    EXPECT_EQ(label("click_mark", R"({"id":"7"})"), "Clicking element 7");
    EXPECT_EQ(label("list_menus", R"({"app":"Files"})"), "Reading Files menus");
    EXPECT_EQ(label("invoke_menu", R"({"path":["File","Save As\u2026"]})"), "Menu: File \u203A Save As\u2026");
    EXPECT_EQ(label("do_task", R"({"description":"In Slack, open #general"})"), "In Slack, open #general");

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
    EXPECT_EQ(label("set_volume", "{}"), "Setting volume to 0%");
    EXPECT_EQ(label("set_volume", R"({"percent":45.9})"), "Setting volume to 45%");
    EXPECT_EQ(label("set_volume", R"({"percent":"nan"})"), "Setting volume to 0%");
    EXPECT_EQ(label("set_volume", R"({"percent":1e300})"), "Setting volume to 0%");
    EXPECT_EQ(label("set_dark_mode", "{}"), "Dark mode on");
    EXPECT_EQ(label("click_mark", "{}"), "Clicking element 0");
    EXPECT_EQ(label("list_menus", R"({"app":""})"), "Reading the menus");
    EXPECT_EQ(label("invoke_menu", R"({"path":"File"})"), "Menu: ");
}

TEST(ActivityLabels, UnknownNamesReadAsTheirWords)
{
    EXPECT_EQ(label("launch_rocket"), "launch rocket");
    EXPECT_EQ(label("Open_App", R"({"name":"x"})"), "Open App");
}

} // namespace
} // namespace twk
