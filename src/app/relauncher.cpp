#include "app/relauncher.h"

#include "common/log.h"

namespace twk {

std::string Relauncher::chosenPath() const
{
    const std::string running = shell_.executablePath();
    if (!shell_.isInBuildTree(running)) return running;
    const std::string installed = shell_.homeDirectory() + "/.local/bin/tarnwick";
    return shell_.isExecutableFile(installed) ? installed : running;
}

void Relauncher::relaunch()
{
    const std::string path = chosenPath();
    logLine("[twk] relaunching → " + path);
    if (const auto failure = shell_.spawnDetached(path, {waitFlag})) logLine("[twk] relaunch spawn failed: " + *failure);
    loop_.after(terminateDelay, [&shell = shell_] { shell.terminate(); });
}

} // namespace twk
