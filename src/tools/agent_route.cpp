#include "tools/agent_route.h"

#include "tools/result_json.h"

namespace twk {
namespace {

Task<ToolResult> doTask(MainLoop& loop, CancellationToken& cancellation, AgentExecutor& agent, std::string description)
{
    if (description.empty()) co_return ToolResult::textResult(errJSON("missing description"));
    // A stop said before this task must not end it.
    cancellation.reset();
    co_await onMain(loop);
    auto running = agent.run(std::move(description));
    co_return ToolResult::textResult(co_await std::move(running));
}

} // namespace

void addAgentRoute(ToolRoutes& routes, MainLoop& loop, CancellationToken& cancellation, AgentExecutor& agent)
{
    routes.add("do_task", [&loop, &cancellation, &agent](const ToolArgs& args) {
        return doTask(loop, cancellation, agent, strArg(args, "description"));
    });
}

} // namespace twk
