#include "app/service_config.h"

#include <gtest/gtest.h>

#include <map>

namespace twk {
namespace {

Expected<ServiceConfig> load(std::map<std::string, std::string> vars)
{
    return loadServiceConfig([vars](const std::string& name) -> std::optional<std::string> {
        const auto it = vars.find(name);
        return it == vars.end() ? std::nullopt : std::optional(it->second);
    });
}

TEST(ServiceConfig, EnvironmentOverridesTheBuiltInOrigins)
{
    const auto builtIn = load({});
    ASSERT_TRUE(builtIn);
    EXPECT_TRUE(builtIn.value().backendOrigin.starts_with("http"));
    EXPECT_TRUE(builtIn.value().realtimeOrigin.starts_with("ws"));
    EXPECT_TRUE(builtIn.value().builtInBackend);

    const auto custom = load({{"TARNWICK_BACKEND_URL", "https://api.example.org/"},
                              {"TARNWICK_REALTIME_URL", "ws://127.0.0.1:8788"}});
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom.value().backendOrigin, "https://api.example.org"); // trailing slash dropped
    EXPECT_EQ(custom.value().realtimeOrigin, "ws://127.0.0.1:8788");
    EXPECT_FALSE(custom.value().builtInBackend);

    EXPECT_EQ(load({{"TARNWICK_BACKEND_URL", ""}}).value().backendOrigin, builtIn.value().backendOrigin);
    EXPECT_EQ(load({{"TARNWICK_BRIDGE_PORT", "40123"}}).value().bridgePort, 40123);
}

TEST(ServiceConfig, RefusesWhatIsNotAnOriginOfTheRightKindNamingTheVariable)
{
    const std::pair<const char*, const char*> bad[] = {
        {"TARNWICK_BACKEND_URL", "ftp://example.org"},   {"TARNWICK_BACKEND_URL", "example.org"},
        {"TARNWICK_BACKEND_URL", "https://"},            {"TARNWICK_BACKEND_URL", "https://x.org/api"},
        {"TARNWICK_BACKEND_URL", "https://x.org?a=1"},   {"TARNWICK_REALTIME_URL", "http://127.0.0.1:1"},
        {"TARNWICK_REALTIME_URL", "ws://h/v1/realtime"}, {"TARNWICK_REALTIME_URL", "ws:/h"},
        {"TARNWICK_BRIDGE_PORT", "0"},                   {"TARNWICK_BRIDGE_PORT", "65536"},
        {"TARNWICK_BRIDGE_PORT", "80a"},                 {"TARNWICK_BRIDGE_PORT", "-1"},
    };
    for (const auto& [name, value] : bad) {
        const auto config = load({{name, value}});
        ASSERT_FALSE(config) << value;
        EXPECT_EQ(config.error().domain(), "twk.config");
        EXPECT_TRUE(config.error().description().starts_with(std::string(name) + " \"" + value + "\""))
            << config.error().description();
    }
}

} // namespace
} // namespace twk
