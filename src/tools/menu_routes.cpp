#include "tools/menu_routes.h"

#include "tools/result_json.h"

namespace twk {
namespace {

nlohmann::ordered_json menuEntryToDict(const MenuEntry& entry)
{
    nlohmann::ordered_json dict;
    dict["title"] = entry.title;
    if (entry.shortcut && !entry.shortcut->empty()) dict["shortcut"] = *entry.shortcut;
    if (!entry.children.empty()) {
        auto& children = dict["children"] = nlohmann::ordered_json::array();
        for (const auto& child : entry.children) children.push_back(menuEntryToDict(child));
    }
    return dict;
}

Task<ToolResult> listMenus(AccessibilityService& accessibility, std::optional<std::string> app)
{
    co_await onWorker(accessibility.thread());
    const auto read = accessibility.menus(app);
    if (!read) co_return ToolResult::textResult(errJSON("could not read menus for " + app.value_or("frontmost app")));
    nlohmann::ordered_json reply;
    reply["ok"] = true;
    reply["app"] = read->appName;
    auto& menus = reply["menus"] = nlohmann::ordered_json::array();
    for (const auto& entry : read->menus) menus.push_back(menuEntryToDict(entry));
    co_return ToolResult::textResult(compactJSON(reply, R"({"ok":true})"));
}

Task<ToolResult> invokeMenu(AccessibilityService& accessibility, std::optional<std::string> app,
                            std::vector<std::string> path)
{
    co_await onWorker(accessibility.thread());
    const auto outcome = accessibility.invokeMenu(app, path);
    co_return ToolResult::textResult(outcome ? okJSON(outcome.value()) : errJSON(outcome.error().description()));
}

} // namespace

void addMenuRoutes(ToolRoutes& routes, AccessibilityService& accessibility)
{
    routes.add("list_menus",
               [&accessibility](const ToolArgs& args) { return listMenus(accessibility, optStrArg(args, "app")); });
    routes.add("invoke_menu", [&accessibility](const ToolArgs& args) {
        return invokeMenu(accessibility, optStrArg(args, "app"), stringListArg(args, "path"));
    });
}

} // namespace twk
