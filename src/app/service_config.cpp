#include "app/service_config.h"

#include "common/url.h"

#include <cstdlib>
#include <initializer_list>

#ifndef TARNWICK_BACKEND_URL
#define TARNWICK_BACKEND_URL "http://127.0.0.1:8787"
#endif
#ifndef TARNWICK_REALTIME_URL
#define TARNWICK_REALTIME_URL "ws://127.0.0.1:8787"
#endif

namespace twk {
namespace {

Expected<std::string> checkedOrigin(const std::string& variable, const std::string& value,
                                    std::initializer_list<const char*> schemes)
{
    const auto fail = [&](const std::string& why) {
        return Error("twk.config", 1, variable + " \"" + value + "\" " + why);
    };
    const auto url = parseUrl(value);
    if (!url) return fail("is not a URL");
    bool schemeOk = false;
    std::string allowed;
    for (const char* s : schemes) {
        schemeOk = schemeOk || url->scheme == s;
        allowed += allowed.empty() ? std::string(s) : std::string(" or ") + s;
    }
    if (!schemeOk) return fail("must start with " + allowed + "://");
    if (value.find("://") == std::string::npos || url->host.empty()) return fail("has no host");
    if ((!url->path.empty() && url->path != "/") || !url->query.empty() || !url->fragment.empty() ||
        value.find('?') != std::string::npos || value.find('#') != std::string::npos)
        return fail("must be an origin only (scheme, host and port)");
    std::string origin = value;
    if (origin.ends_with('/')) origin.pop_back();
    return origin;
}

std::optional<int> parsePort(const std::string& text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return {};
    const int port = std::stoi(text);
    return port >= 1 && port <= 65535 ? std::optional<int>(port) : std::nullopt;
}

} // namespace

Expected<ServiceConfig> loadServiceConfig(const EnvLookup& env)
{
    const auto pick = [&](const char* name, const char* builtIn) {
        const auto v = env(name);
        return v && !v->empty() ? *v : std::string(builtIn);
    };
    auto backend = checkedOrigin("TARNWICK_BACKEND_URL", pick("TARNWICK_BACKEND_URL", TARNWICK_BACKEND_URL),
                                 {"http", "https"});
    if (!backend) return backend.error();
    auto realtime = checkedOrigin("TARNWICK_REALTIME_URL", pick("TARNWICK_REALTIME_URL", TARNWICK_REALTIME_URL),
                                  {"ws", "wss"});
    if (!realtime) return realtime.error();
    const auto override = env("TARNWICK_BACKEND_URL");
    ServiceConfig config{std::move(backend).value(), std::move(realtime).value(), !override || override->empty(),
                         28371, ""};
    if (const auto port = env("TARNWICK_BRIDGE_PORT"); port && !port->empty()) {
        const auto value = parsePort(*port);
        if (!value) return Error("twk.config", 1, "TARNWICK_BRIDGE_PORT \"" + *port + "\" is not a port number (1-65535)");
        config.bridgePort = *value;
    }
    config.extensionIds = env("TARNWICK_EXTENSION_IDS").value_or("");
    return config;
}

Expected<ServiceConfig> loadServiceConfig()
{
    return loadServiceConfig([](const std::string& name) -> std::optional<std::string> {
        const char* v = std::getenv(name.c_str());
        return v ? std::optional<std::string>(v) : std::nullopt;
    });
}

} // namespace twk
