#pragma once

#include "bridge/chrome_bridge.h"
#include "tools/tool_routes.h"

namespace twk {

/// web_command and web_navigate: tasks for the browser extension, through the bridge.
void addWebRoutes(ToolRoutes& routes, ChromeBridge& bridge);

} // namespace twk
