#include "tools/app_list_route.h"

#include "tools/result_json.h"

namespace twk {
namespace {

Task<ToolResult> listApps(Workspace& workspace)
{
    co_return ToolResult::textResult(runningAppsJSON(workspace.runningApplications()));
}

} // namespace

std::string runningAppsJSON(const std::vector<RunningApplication>& apps)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& app : apps) {
        if (!app.regular) continue;
        list.push_back({{"name", app.localizedName.value_or("(unnamed)")}, {"bundleId", app.applicationId}});
    }
    return compactJSON({{"apps", list}}, R"({"apps":[]})");
}

void addAppListRoute(ToolRoutes& routes, Workspace& workspace)
{
    routes.add("list_apps", [&workspace](const ToolArgs&) { return listApps(workspace); });
}

} // namespace twk
