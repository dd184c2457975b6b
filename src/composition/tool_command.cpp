#include "composition/commands.h"
#include "composition/core.h"

#include <QCoreApplication>

#include <iostream>

namespace twk {
namespace {

/// True when a tool's answer is a JSON object saying "ok": false.
bool reportsFailure(const std::string& resultText)
{
    const auto json = nlohmann::json::parse(resultText, nullptr, false);
    if (!json.is_object()) return false;
    const auto ok = json.find("ok");
    return ok != json.end() && *ok == false;
}

Task<void> runOneTool(ToolDispatcher& tools, std::string name, std::string args)
{
    auto run = tools.run(std::move(name), std::move(args));
    const ToolResult result = co_await std::move(run);
    std::cout << result.text << "\n";
    if (result.kind == ToolResult::Kind::image) std::cout << result.base64PNG << "\n";
    std::cout.flush();
    QCoreApplication::exit(reportsFailure(result.text) ? 1 : 0);
}

} // namespace

/// Runs one tool through the dispatcher, as a tool call of the speech model
/// would, and prints its result.
int runTool(int argc, char** argv, const Command& cmd)
{
    const auto config = loadServiceConfig();
    if (!config) return fail(config.error().description());
    QCoreApplication qtApp(argc, argv);
    Core core(config.value());
    spawn(core.loop, runOneTool(core.tools, cmd.toolName, cmd.toolArgs));
    return QCoreApplication::exec();
}

} // namespace twk
