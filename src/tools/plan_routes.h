#pragma once

#include "app/app_state.h"
#include "common/cancellation_token.h"
#include "common/main_loop.h"
#include "tools/tool_routes.h"

namespace twk {

/// set_plan, complete_step and stop: the tools that drive the on-screen plan
/// checklist (stop also raises the cancel flag the agent polls).
void addPlanRoutes(ToolRoutes& routes, MainLoop& loop, AppState& state, CancellationToken& cancellation);

} // namespace twk
