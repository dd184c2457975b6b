#include "composition/commands.h"
#include "composition/core.h"
#include "common/log.h"
#include "platform/linux/clipboard_keeper.h"

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
    std::cout << result.text << "\n";
    if (result.kind == ToolResult::Kind::image) std::cout << result.base64PNG << "\n";
    std::cout.flush();
    // On X the clipboard's text lives in its owner: a paste's text must be
    // served until the target has read it and the user's text is back.
    while (core.input.restorePending()) co_await sleepFor(core.loop, std::chrono::milliseconds(20));
    if (core.clipboard.ownsClipboard()) keepClipboardAfterExit(core.clipboard);
    QCoreApplication::exit(reportsFailure(result.text) ? 1 : 0);
}

} // namespace

/// Runs one tool through the dispatcher, as a tool call of the speech model
/// would, and prints its result.
int runTool(int argc, char** argv, const Command& cmd)
{
    if (isClipboardKeeper()) return runClipboardKeeper();
    const auto config = loadServiceConfig();
    if (!config) return fail(config.error().description());
    QCoreApplication qtApp(argc, argv);
    Core core(config.value());
    spawn(core.loop, runOneTool(core, cmd.toolName, cmd.toolArgs));
    return QCoreApplication::exec();
}

} // namespace twk
