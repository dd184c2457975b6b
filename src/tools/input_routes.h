#pragma once

#include "accessibility/input_synthesis.h"
#include "tools/tool_routes.h"

namespace twk {

/// press_key, type_text (which pastes: faster than typing, and exact) and
/// scroll, acting on the user's desktop.
void addInputRoutes(ToolRoutes& routes, InputSynthesis& input);

} // namespace twk
