#include "tools/tool_dispatcher.h"

#include "common/log.h"
#include "tools/activity_labels.h"
#include "tools/agent_route.h"
#include "tools/app_list_route.h"
#include "tools/input_routes.h"
#include "tools/live_context.h"
#include "tools/mark_routes.h"
#include "tools/messaging_routes.h"
#include "tools/menu_routes.h"
#include "tools/plan_routes.h"
#include "tools/result_json.h"
#include "tools/screen_routes.h"
#include "tools/skill_routes.h"
#include "tools/system_prompt.h"
#include "tools/tool_catalogue.h"
#include "tools/web_routes.h"

#include <exception>

namespace twk {

ToolDispatcher::ToolDispatcher(const Services& services) : host_(services.host), loop_(services.loop)
{
    addAppListRoute(routes_, services.workspace);
    addPlanRoutes(routes_, services.loop, services.state, services.cancellation);
    addSkillRoutes(routes_, services.skills, services.workers, services.input);
    addWebRoutes(routes_, services.bridge);
    addMessagingRoutes(routes_, services.skills, services.workers, services.loop, services.input, services.marks);
    if (services.input != nullptr) addInputRoutes(routes_, *services.input);
    if (services.accessibility != nullptr) addMenuRoutes(routes_, *services.accessibility);
    if (services.marks != nullptr) addMarkRoutes(routes_, *services.marks);
    if (services.accessibility != nullptr && services.capturer != nullptr)
        addScreenRoutes(routes_, *services.accessibility, *services.capturer);
    if (services.agent != nullptr) addAgentRoute(routes_, services.loop, services.cancellation, *services.agent);
}

const nlohmann::json& ToolDispatcher::schema() { return toolCatalogue(); }

std::string ToolDispatcher::systemPrompt(Verbosity verbosity) const
{
    return twk::systemPrompt(liveContext(), verbosity);
}

std::string ToolDispatcher::liveContext() const { return twk::liveContext(host_); }

Task<ToolResult> ToolDispatcher::run(std::string name, std::string argsJson) const
{
    const ToolArgs args = parseToolArgs(argsJson);
    const ToolHandler* handler = routes_.find(name);
    if (handler == nullptr) co_return ToolResult::textResult(errJSON("unknown tool " + name));

    // A route that throws still answers the model, with the reason.
    std::optional<ToolResult> result;
    std::string failure;
    try {
        result = co_await (*handler)(args);
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "tool failed";
    }
    co_await onMain(loop_); // routes may end on a worker; the caller goes on where it was
    if (result) co_return std::move(*result);
    logLine("[twk] tool " + name + " failed: " + failure);
    co_return ToolResult::textResult(errJSON(failure));
}

bool ToolDispatcher::hasRoute(const std::string& name) const { return routes_.find(name) != nullptr; }

std::string ToolDispatcher::activityLabel(const std::string& name, const std::string& argsJson)
{
    return twk::activityLabel(name, parseToolArgs(argsJson));
}

} // namespace twk
