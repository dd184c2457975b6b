#include "composition/commands.h"
#include "composition/core.h"
#include "common/log.h"
#include "platform/linux/clipboard_keeper.h"
#include "platform/linux/single_instance.h"

#include <QCoreApplication>

#include <iostream>
#include <thread>

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

/// Lets the clipboard text this process serves outlive it: the desktop's
/// clipboard manager takes it when one runs, else a keeper process.
void keepClipboardAfterExit(X11Clipboard& clipboard)
{
    if (clipboard.handOver(std::chrono::milliseconds(1000))) return;
    const auto text = clipboard.readString();
    if (!text || !startClipboardKeeper(*text)) {
        logLine("[twk] could not keep the clipboard's text after this process ends");
        return;
    }
    // Until the keeper has it, the clipboard would be empty.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (clipboard.ownsClipboard() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

Task<void> runOneTool(Core& core, std::string name, std::string args)
{
    auto run = core.tools.run(std::move(name), std::move(args));
    const ToolResult result = co_await std::move(run);
    const int status = printResult(result);
    // On X the clipboard's text lives in its owner: a paste's text must be
    // served until the target has read it and the user's text is back.
    while (core.input.restorePending()) co_await sleepFor(core.loop, std::chrono::milliseconds(20));
    if (core.clipboard.ownsClipboard()) keepClipboardAfterExit(core.clipboard);
    QCoreApplication::exit(status);
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
    if (isClipboardKeeper()) return runClipboardKeeper();
    const auto config = loadServiceConfig();
    if (!config) return fail(config.error().description());
    QCoreApplication qtApp(argc, argv);
    if (!cmd.toolLocal) {
        const auto forwarded = SingleInstance::forwardTool(cmd.toolName, cmd.toolArgs);
        if (!forwarded) return fail(forwarded.error().description());
        if (forwarded.value()) return printResult(*forwarded.value());
    }
    Core core(config.value());
    spawn(core.loop, runOneTool(core, cmd.toolName, cmd.toolArgs));
    return QCoreApplication::exec();
}

void serveForwardedTools(Core& core, SingleInstance& instance)
{
    instance.serveTools([&core](std::string name, std::string args, std::function<void(ToolResult)> answer) {
        spawn(core.loop, runForwardedTool(core.tools, std::move(name), std::move(args), std::move(answer)));
    });
}

} // namespace twk
