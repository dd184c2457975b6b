#include "tools/web_routes.h"

#include "tools/result_json.h"

namespace twk {
namespace {

constexpr Duration commandTimeout = seconds(60);
constexpr Duration navigateTimeout = seconds(15);

struct WebRequest {
    std::string method;
    nlohmann::json params;
    Duration timeout;
    /// Set when the call lacks what it needs: the answer, without asking the extension.
    std::string refusal;
};

Task<ToolResult> askExtension(ChromeBridge& bridge, WebRequest request)
{
    if (!request.refusal.empty()) co_return ToolResult::textResult(errJSON(request.refusal));
    auto reply = bridge.request(std::move(request.method), std::move(request.params), request.timeout);
    const Expected<std::string> answer = co_await std::move(reply);
    if (!answer) co_return ToolResult::textResult(errJSON(answer.error().description()));
    co_return ToolResult::textResult(answer.value());
}

WebRequest commandRequest(const ToolArgs& args)
{
    const std::string task = strArg(args, "task");
    if (task.empty()) return {.method = {}, .params = {}, .timeout = {}, .refusal = "missing task"};
    nlohmann::json params = {{"task", task}};
    if (const auto url = optStrArg(args, "url")) params["url"] = *url;
    return {.method = "command", .params = std::move(params), .timeout = commandTimeout, .refusal = {}};
}

WebRequest navigateRequest(const ToolArgs& args)
{
    const std::string url = strArg(args, "url");
    if (url.empty()) return {.method = {}, .params = {}, .timeout = {}, .refusal = "missing url"};
    return {.method = "navigate", .params = {{"url", url}}, .timeout = navigateTimeout, .refusal = {}};
}

} // namespace

void addWebRoutes(ToolRoutes& routes, ChromeBridge& bridge)
{
    routes.add("web_command", [&bridge](const ToolArgs& args) { return askExtension(bridge, commandRequest(args)); });
    routes.add("web_navigate",
               [&bridge](const ToolArgs& args) { return askExtension(bridge, navigateRequest(args)); });
}

} // namespace twk
