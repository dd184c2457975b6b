#include "composition/commands.h"
#include "composition/core.h"
#include "platform/linux/single_instance.h"

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

/// Prints a result as the speech model would get it; the exit status.
int printResult(const ToolResult& result)
{
    std::cout << result.text << "\n";
    if (result.kind == ToolResult::Kind::image) std::cout << result.base64PNG << "\n";
    std::cout.flush();
    return reportsFailure(result.text) ? 1 : 0;
}

Task<void> runOneTool(ToolDispatcher& tools, std::string name, std::string args)
{
    auto run = tools.run(std::move(name), std::move(args));
    const ToolResult result = co_await std::move(run);
    QCoreApplication::exit(printResult(result));
}

Task<void> runForwardedTool(ToolDispatcher& tools, std::string name, std::string args,
                            std::function<void(ToolResult)> answer)
{
    logLine("[twk] tool " + name + " handed over by tarnwick tool");
    auto run = tools.run(std::move(name), std::move(args));
    ToolResult result = co_await std::move(run);
    answer(std::move(result));
}

} // namespace

/// Runs one tool through the dispatcher, as a tool call of the speech model
/// would, and prints its result: in the running application when there is
/// one (its plan, its session, its marks), else in this process.
int runTool(int argc, char** argv, const Command& cmd)
{
    const auto config = loadServiceConfig();
    if (!config) return fail(config.error().description());
    QCoreApplication qtApp(argc, argv);
    if (!cmd.toolLocal) {
        const auto forwarded = SingleInstance::forwardTool(cmd.toolName, cmd.toolArgs);
        if (!forwarded) return fail(forwarded.error().description());
        if (forwarded.value()) return printResult(*forwarded.value());
    }
    Core core(config.value());
    spawn(core.loop, runOneTool(core.tools, cmd.toolName, cmd.toolArgs));
    return QCoreApplication::exec();
}

void serveForwardedTools(Core& core, SingleInstance& instance)
{
    instance.serveTools([&core](std::string name, std::string args, std::function<void(ToolResult)> answer) {
        spawn(core.loop, runForwardedTool(core.tools, std::move(name), std::move(args), std::move(answer)));
    });
}

} // namespace twk
