#pragma once

#include "agent/agent_executor.h"
#include "common/cancellation_token.h"
#include "common/main_loop.h"
#include "tools/tool_routes.h"

namespace twk {

/// do_task: hands a spoken task to the computer-use agent and answers with
/// its closing sentence, as plain text.
void addAgentRoute(ToolRoutes& routes, MainLoop& loop, CancellationToken& cancellation, AgentExecutor& agent);

} // namespace twk
