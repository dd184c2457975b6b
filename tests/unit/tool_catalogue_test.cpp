#include "fakes/fake_host.h"
#include "tools/live_context.h"
#include "tools/system_prompt.h"
#include "tools/tool_dispatcher.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <set>

namespace twk {
namespace {

using nlohmann::json;

TEST(ToolCatalogue, EveryEntryIsAFunctionWithAnObjectSchema)
{
    const json& schema = ToolDispatcher::schema();
    ASSERT_TRUE(schema.is_array());
    ASSERT_EQ(schema.size(), 27u);
    EXPECT_EQ(schema.front()["name"], "open_app");
    EXPECT_EQ(schema.back()["name"], "stop");
    std::set<std::string> names;
    for (const auto& tool : schema) {
        const std::string name = tool.at("name");
        EXPECT_TRUE(names.insert(name).second) << "offered twice: " << name;
        EXPECT_EQ(tool.at("type"), "function") << name;
        EXPECT_FALSE(tool.at("description").get<std::string>().empty()) << name;
        const json& params = tool.at("parameters");
        EXPECT_EQ(params.at("type"), "object") << name;
        // The service rejects a schema whose lists are left out or null, even when empty.
        ASSERT_TRUE(params.at("properties").is_object()) << name;
        ASSERT_TRUE(params.at("required").is_array()) << name;
        for (const auto& req : params["required"])
            EXPECT_TRUE(params["properties"].contains(req)) << name << " requires an undeclared " << req;
        for (const auto& [key, property] : params["properties"].items()) {
            const std::string type = property.at("type");
            EXPECT_EQ(property.contains("items"), type == "array") << name << "." << key;
            EXPECT_TRUE(!property.contains("description") || property["description"].is_string()) << name << "." << key;
        }
    }
    EXPECT_EQ(&schema, &ToolDispatcher::schema()) << "built once";
}

/// The first word in `text` that names another desktop's products, ignoring
/// letter case and the tool names themselves (the peers rely on those).
std::optional<std::string> otherPlatformWordIn(std::string text)
{
    static const std::vector<std::string> words{
        "safari", "com.apple", "apple", "applescript", "spotlight", "networksetup", "messages.app", "mail.app",
        "reminders.app", "finder", "system settings", "system preferences", "macos", "mac", "macbook", "dock",
        "imessage", "icloud", "siri", "launchpad", "cmd+space", "cmd+", "bundle id", "\u2318"};
    for (const auto& tool : ToolDispatcher::schema()) {
        const std::string name = tool["name"];
        for (size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), " ");
    }
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto wordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    for (const auto& word : words) {
        for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
            const size_t end = at + word.size();
            const bool startsWord = at == 0 || !wordChar(word.front()) || !wordChar(text[at - 1]);
            const bool endsWord = end == text.size() || !wordChar(word.back()) || !wordChar(text[end]);
            if (startsWord && endsWord) return word;
        }
    }
    return std::nullopt;
}

TEST(ToolCatalogue, WhatTheModelAndTheUserReadNamesOnlyThisDesktop)
{
    EXPECT_EQ(otherPlatformWordIn("Open Spotlight (Cmd+Space)"), "spotlight");
    EXPECT_EQ(otherPlatformWordIn("on the user's Mac."), "mac");
    EXPECT_EQ(otherPlatformWordIn("press 'cmd+s'"), "cmd+");
    EXPECT_EQ(otherPlatformWordIn("send_imessage or play_on_apple_music; Machine: this computer"), std::nullopt);

    for (const auto& tool : ToolDispatcher::schema()) {
        EXPECT_EQ(otherPlatformWordIn(tool.dump()), std::nullopt) << tool["name"];
        EXPECT_EQ(otherPlatformWordIn(ToolDispatcher::activityLabel(tool["name"], "{}")), std::nullopt)
            << "label of " << tool["name"];
    }
    test::FakeHost unnamedHost;
    unnamedHost.machineName = std::nullopt;
    for (const auto v : allVerbosities)
        EXPECT_EQ(otherPlatformWordIn(systemPrompt(liveContext(unnamedHost), v)), std::nullopt);
}

} // namespace
} // namespace twk
