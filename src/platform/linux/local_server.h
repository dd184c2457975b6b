#pragma once

#include "app/service_config.h"

#include <chrono>
#include <string>

namespace twk {

/// With no backend configured, Tarnwick uses the local tarnwick-server and
/// starts it when nothing answers on the built-in loopback origin. The
/// server is looked for beside this program (an installation's bin folder,
/// or the build tree's server folder), then on PATH; it is started detached,
/// with plain arguments, and keeps running for later sessions.
/// Returns a description of the problem when no server could be reached.
std::optional<std::string> ensureLocalServer(const ServiceConfig& config,
                                             std::chrono::milliseconds wait = std::chrono::seconds(3));

} // namespace twk
