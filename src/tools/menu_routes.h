#pragma once

#include "accessibility/accessibility_service.h"
#include "tools/tool_routes.h"

namespace twk {

/// list_menus and invoke_menu: the frontmost (or a named) application's menu
/// bar, run on the accessibility thread.
void addMenuRoutes(ToolRoutes& routes, AccessibilityService& accessibility);

} // namespace twk
