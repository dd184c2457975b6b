#pragma once

#include "accessibility/accessibility_service.h"
#include "capture/screen_capturer.h"
#include "tools/tool_routes.h"

namespace twk {

/// The most elements an inspection numbers.
inline constexpr int inspectScreenMarkLimit = 80;

/// inspect_screen: numbers the focused window's elements and answers their
/// list with a screenshot carrying a badge for each.
void addScreenRoutes(ToolRoutes& routes, AccessibilityService& accessibility, ScreenCapturer& capturer);

} // namespace twk
