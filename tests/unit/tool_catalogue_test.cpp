#include "platform/platform_words.h"
#include "tools/tool_dispatcher.h"

#include <gtest/gtest.h>

#include <regex>

namespace twk {
namespace {

using nlohmann::json;

const json& entry(const std::string& name)
{
    for (const auto& tool : ToolDispatcher::schema())
        if (tool["name"] == name) return tool;
    throw std::runtime_error("no tool " + name);
}

std::vector<std::string> required(const std::string& name)
{
    return entry(name)["parameters"]["required"].get<std::vector<std::string>>();
}

TEST(ToolCatalogue, TwentySevenFunctionsInTheirOrder)
{
    const std::vector<std::string> order{
        "open_app", "quit_app", "list_apps", "play_pause_media", "next_track", "previous_track",
        "play_on_apple_music", "play_on_spotify", "set_volume", "set_wifi", "set_dark_mode", "open_url",
        "search_web", "spotlight_search", "send_imessage", "message_in_app", "compose_email", "add_reminder",
        "add_calendar_event", "run_shortcut", "press_key", "web_command", "web_navigate", "do_task",
        "set_plan", "complete_step", "stop"};
    const json& schema = ToolDispatcher::schema();
    ASSERT_TRUE(schema.is_array());
    std::vector<std::string> names;
    for (const auto& tool : schema) {
        names.push_back(tool["name"]);
        EXPECT_EQ(tool["type"], "function");
        EXPECT_FALSE(tool["description"].get<std::string>().empty());
        const json& params = tool["parameters"];
        EXPECT_EQ(params["type"], "object");
        ASSERT_TRUE(params["properties"].is_object()) << tool["name"];
        ASSERT_TRUE(params["required"].is_array()) << tool["name"];
        for (const auto& name : params["required"]) EXPECT_TRUE(params["properties"].contains(name));
    }
    EXPECT_EQ(names, order);
    EXPECT_EQ(&schema, &ToolDispatcher::schema()) << "built once";
}

TEST(ToolCatalogue, ToolsWithoutParametersStillCarryEmptyLists)
{
    for (const char* name : {"list_apps", "play_pause_media", "next_track", "previous_track", "complete_step", "stop"}) {
        const std::string text = entry(name)["parameters"].dump();
        EXPECT_EQ(text, R"({"properties":{},"required":[],"type":"object"})") << name;
    }
}

TEST(ToolCatalogue, RequiredListsAndParameterShapes)
{
    using L = std::vector<std::string>;
    EXPECT_EQ(required("compose_email"), L{"to"});
    EXPECT_EQ(required("add_calendar_event"), (L{"title", "start"}));
    EXPECT_EQ(required("web_command"), L{"task"});
    EXPECT_EQ(required("message_in_app"), (L{"app", "person", "text"}));
    EXPECT_EQ(required("send_imessage"), (L{"recipient", "text"}));
    EXPECT_EQ(required("press_key"), L{"combo"});

    const json& calendar = entry("add_calendar_event")["parameters"]["properties"];
    EXPECT_EQ(calendar["durationMinutes"], (json{{"type", "integer"}, {"description", "Defaults to 60 if omitted."}}));
    EXPECT_EQ(calendar["title"], (json{{"type", "string"}})) << "no description key when there is none";
    EXPECT_EQ(entry("set_volume")["parameters"]["properties"]["percent"]["type"], "number");
    EXPECT_EQ(entry("set_wifi")["parameters"]["properties"]["on"]["type"], "boolean");
    EXPECT_EQ(entry("set_plan")["parameters"]["properties"]["steps"],
              (json{{"type", "array"}, {"items", {{"type", "string"}}},
                    {"description", "Ordered list of short step descriptions."}}));
    const std::string url = entry("web_command")["parameters"]["properties"]["url"]["description"];
    EXPECT_TRUE(url.starts_with("Optional URL to navigate to first before performing the task. Use for cases where "
                                "you know the right starting page (e.g. https://"));
    EXPECT_TRUE(url.ends_with(" for Spotify tasks)."));
}

TEST(ToolCatalogue, DescriptionsNameTheBuildsOwnPlatform)
{
    const std::string system(platform_words::system);
    EXPECT_EQ(entry("open_app")["description"].get<std::string>().rfind("Open or focus a " + system + " app by name", 0),
              0u);
    EXPECT_EQ(entry("set_dark_mode")["description"], "Switch " + system + " appearance to dark or light mode.");
    if (system != "macOS") {
        const std::regex otherPlatform(R"(macOS|\bMac\b)");
        for (const auto& tool : ToolDispatcher::schema())
            EXPECT_FALSE(std::regex_search(tool.dump(), otherPlatform)) << tool["name"];
    }
}

} // namespace
} // namespace twk
