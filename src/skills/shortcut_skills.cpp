#include "skills/skill_text.h"
#include "skills/skills.h"

namespace twk {
namespace {

constexpr std::size_t shownCharacters = 200;

/// A name that stays a file inside the automations folder.
bool isPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string duration(std::chrono::milliseconds limit)
{
    if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " seconds";
    return std::to_string(limit.count()) + " ms";
}

/// Why a run that exited went wrong: its own words, else how it ended.
std::string failureText(const AutomationRun& run)
{
    if (!run.errorOutput.empty()) return leadingCharacters(run.errorOutput, shownCharacters);
    if (run.exitStatus < 0) return "ended by signal " + std::to_string(-run.exitStatus);
    return "exit status " + std::to_string(run.exitStatus);
}

} // namespace

std::string Skills::runShortcut(const std::string& name, const std::optional<std::string>& input)
{
    const std::string failed = "shortcut \"" + name + "\" failed: ";
    if (!isPlainName(name))
        return err(failed + "not a shortcut name (a name is a file name: not empty, no \"/\", not \".\" or \"..\")");
    const AutomationRun run = s_.automations.run(name, input, s_.shortcutTimeLimit);
    switch (run.outcome) {
    case AutomationRun::Outcome::notFound:
        return err(failed + "there is no shortcut by that name in " + s_.automations.folder());
    case AutomationRun::Outcome::spawnFailed: return err("shortcut spawn failed: " + run.failure);
    case AutomationRun::Outcome::timedOut: {
        std::string text = failed + "still running after " + duration(s_.shortcutTimeLimit) + ", so it was stopped";
        if (!run.errorOutput.empty()) text += ": " + leadingCharacters(run.errorOutput, shownCharacters);
        return err(text);
    }
    case AutomationRun::Outcome::exited: break;
    }
    if (run.exitStatus != 0) return err(failed + failureText(run));
    std::string reply = "ran shortcut \"" + name + "\"";
    if (!run.output.empty()) reply += " — " + leadingCharacters(run.output, shownCharacters);
    return ok(reply);
}

} // namespace twk
