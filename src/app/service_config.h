#pragma once

#include "common/expected.h"

#include <functional>
#include <optional>
#include <string>

namespace twk {

/// Where the hosted services are. Both origins are fixed at build time
/// (CMake cache variables TARNWICK_BACKEND_URL and TARNWICK_REALTIME_URL) and
/// may be overridden at run time by the environment variables of the same
/// names, for development, tests and self-hosting.
struct ServiceConfig {
    /// Product backend, "http(s)://host[:port]"; endpoint paths are appended.
    std::string backendOrigin;
    /// Realtime speech service, "ws(s)://host[:port]"; the client adds its path and query.
    std::string realtimeOrigin;
    /// True when the backend origin is the built-in one (no override).
    bool builtInBackend = true;
    /// The browser bridge's loopback port (TARNWICK_BRIDGE_PORT; tests move it).
    int bridgePort = 28371;
    /// Browser extensions the bridge lets in (TARNWICK_EXTENSION_IDS, separated
    /// by commas or spaces); empty lets in any extension, never a web page.
    std::string extensionIds;
};

using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;

/// The build-time origins with the environment's overrides applied. An
/// origin that does not parse, has the wrong scheme, no host, or a path,
/// query or fragment is refused with an error that names the variable.
Expected<ServiceConfig> loadServiceConfig(const EnvLookup& env);

/// `loadServiceConfig` on the process environment.
Expected<ServiceConfig> loadServiceConfig();

} // namespace twk
