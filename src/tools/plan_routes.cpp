#include "tools/plan_routes.h"

#include "tools/result_json.h"

namespace twk {
namespace {

Task<ToolResult> setPlan(MainLoop& loop, AppState& state, std::vector<std::string> steps)
{
    co_await onMain(loop);
    state.setPlan(steps);
    co_return ToolResult::textResult(okJSON("plan set: " + std::to_string(steps.size()) + " steps"));
}

Task<ToolResult> completeStep(MainLoop& loop, AppState& state)
{
    co_await onMain(loop);
    state.completeCurrentStep();
    co_return ToolResult::textResult(okJSON("step done"));
}

Task<ToolResult> stop(MainLoop& loop, AppState& state, CancellationToken& cancellation)
{
    // The agent notices the flag on its next round; nothing here waits for it.
    cancellation.cancel();
    co_await onMain(loop);
    state.taskSteps.set({});
    state.currentStepIndex.set(0);
    co_return ToolResult::textResult(okJSON("stopping"));
}

} // namespace

void addPlanRoutes(ToolRoutes& routes, MainLoop& loop, AppState& state, CancellationToken& cancellation)
{
    routes.add("set_plan", [&loop, &state](const ToolArgs& args) {
        return setPlan(loop, state, stringListArg(args, "steps"));
    });
    routes.add("complete_step", [&loop, &state](const ToolArgs&) { return completeStep(loop, state); });
    routes.add("stop", [&loop, &state, &cancellation](const ToolArgs&) { return stop(loop, state, cancellation); });
}

} // namespace twk
