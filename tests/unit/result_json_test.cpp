#include "tools/app_list_route.h"
#include "tools/result_json.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

TEST(ResultJson, CompactObjectsWithTheTextEscaped)
{
    EXPECT_EQ(okJSON("step done"), R"({"ok":true,"message":"step done"})");
    EXPECT_EQ(errJSON("unknown tool x"), R"({"ok":false,"error":"unknown tool x"})");
    EXPECT_EQ(errJSON("said \"no\"\nthen left"), R"({"ok":false,"error":"said \"no\"\nthen left"})");
    EXPECT_EQ(okJSON("Maren \u2014 r\u00e9sum\u00e9"), "{\"ok\":true,\"message\":\"Maren \u2014 r\u00e9sum\u00e9\"}");
}

TEST(ResultJson, BytesThatAreNotUtf8AreReplacedNotLost)
{
    const std::string text = errJSON("caf\xe9 closed");
    EXPECT_EQ(text, "{\"ok\":false,\"error\":\"caf\uFFFD closed\"}");
    EXPECT_EQ(nlohmann::json::parse(text)["error"], "caf\uFFFD closed");
}

TEST(ResultJson, AppListKeepsRegularAppsInOrder)
{
    const std::vector<RunningApplication> apps{
        {10, "org.gnome.TextEditor.desktop", "Text Editor", true},
        {11, "tracker-miner", "Tracker", false},
        {12, "", std::nullopt, true},
        {13, "firefox.desktop", "Firefox", true},
    };
    EXPECT_EQ(runningAppsJSON(apps), R"j({"apps":[{"name":"Text Editor","bundleId":"org.gnome.TextEditor.desktop"},)j"
                                     R"j({"name":"(unnamed)","bundleId":""},)j"
                                     R"j({"name":"Firefox","bundleId":"firefox.desktop"}]})j");
    EXPECT_EQ(runningAppsJSON({}), R"({"apps":[]})");
}

} // namespace
} // namespace twk
