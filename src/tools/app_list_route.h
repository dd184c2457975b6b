#pragma once

#include "platform/workspace.h"
#include "tools/tool_routes.h"

#include <string>
#include <vector>

namespace twk {

/// {"apps":[{"name","bundleId"}...]} for the regular applications among
/// `apps`, in their order; background and accessory processes are left out.
std::string runningAppsJSON(const std::vector<RunningApplication>& apps);

/// list_apps: the user's running applications.
void addAppListRoute(ToolRoutes& routes, Workspace& workspace);

} // namespace twk
