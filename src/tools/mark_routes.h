#pragma once

#include "accessibility/mark_actions.h"
#include "tools/tool_routes.h"

namespace twk {

/// click_mark and fill_mark: the elements numbered by the last screen
/// inspection, acted on from the accessibility thread.
void addMarkRoutes(ToolRoutes& routes, MarkActions& marks);

} // namespace twk
