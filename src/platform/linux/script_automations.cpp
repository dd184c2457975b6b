#include "platform/linux/script_automations.h"

#include "platform/linux/bounded_process.h"

#include <cstdlib>
#include <filesystem>

namespace twk {
namespace {

namespace fs = std::filesystem;

std::string configHome()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') return config;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

} // namespace

ScriptAutomations::ScriptAutomations() : folder_(configHome() + "/tarnwick/shortcuts") {}

std::string ScriptAutomations::folder() const
{
    const char* home = std::getenv("HOME");
    const std::string prefix = home != nullptr && *home != '\0' ? std::string(home) + "/" : std::string();
    if (!prefix.empty() && folder_.rfind(prefix, 0) == 0) return "~/" + folder_.substr(prefix.size());
    return folder_;
}

AutomationRun ScriptAutomations::run(const std::string& name, const std::optional<std::string>& input,
                                     std::chrono::milliseconds timeLimit)
{
    AutomationRun result;
    const fs::path path = fs::path(folder_) / name;
    std::error_code error;
    if (!fs::exists(path, error)) {
        result.outcome = AutomationRun::Outcome::notFound;
        return result;
    }
    const BoundedRun run = runBounded({path.string()}, input, timeLimit);
    result.exitStatus = run.status;
    result.output = run.output;
    result.errorOutput = run.errorOutput;
    result.failure = run.failure;
    switch (run.outcome) {
    case BoundedRun::Outcome::exited: result.outcome = AutomationRun::Outcome::exited; break;
    case BoundedRun::Outcome::spawnFailed: result.outcome = AutomationRun::Outcome::spawnFailed; break;
    case BoundedRun::Outcome::timedOut: result.outcome = AutomationRun::Outcome::timedOut; break;
    }
    return result;
}

} // namespace twk
