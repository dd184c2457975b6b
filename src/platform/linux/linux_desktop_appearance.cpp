#include "platform/linux/linux_desktop_appearance.h"

#include "platform/linux/bounded_process.h"
#include "platform/linux/current_desktop.h"
#include "platform/linux/gsettings_color_scheme.h"
#include "platform/linux/theme_variant.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace twk {
namespace {

using namespace std::chrono_literals;

constexpr auto toolLimit = 10s;

/// The program's path from PATH; found without a shell.
std::optional<std::string> findProgram(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) continue;
        const std::string candidate = dir + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

/// Runs a desktop's own settings tool; nothing when it succeeded.
std::optional<std::string> runTool(const std::string& program, std::vector<std::string> args, std::string* output = nullptr)
{
    const auto found = findProgram(program);
    if (!found) return program + " is not installed";
    args.insert(args.begin(), *found);
    const BoundedRun run = runBounded(args, std::nullopt, toolLimit);
    if (run.outcome == BoundedRun::Outcome::spawnFailed) return program + " could not be started: " + run.failure;
    if (run.outcome == BoundedRun::Outcome::timedOut) return program + " did not answer";
    if (run.status != 0) {
        std::string why = run.errorOutput.empty() ? run.output : run.errorOutput;
        while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
        return program + " failed" + (why.empty() ? std::string() : ": " + why);
    }
    if (output != nullptr) *output = run.output;
    return std::nullopt;
}

std::optional<std::string> setPlasmaScheme(bool dark)
{
    return runTool("plasma-apply-colorscheme", {dark ? "BreezeDark" : "BreezeLight"});
}

std::optional<std::string> setXfceTheme(bool dark)
{
    std::string current;
    if (auto failure = runTool("xfconf-query", {"-c", "xsettings", "-p", "/Net/ThemeName"}, &current)) return failure;
    while (!current.empty() && (current.back() == '\n' || current.back() == ' ')) current.pop_back();
    const bool alreadyDark = current.size() > 5 && current.ends_with("-dark");
    if (alreadyDark == dark) return std::nullopt;
    const auto variant = themeVariant(current, dark);
    if (!variant) return "the Xfce theme " + current + " has no " + (dark ? "dark" : "light") + " variant installed";
    return runTool("xfconf-query", {"-c", "xsettings", "-p", "/Net/ThemeName", "-s", *variant});
}

} // namespace

LinuxDesktopAppearance::LinuxDesktopAppearance()
{
    desktop_ = currentDesktop();
}

std::optional<std::string> LinuxDesktopAppearance::setDarkMode(bool on)
{
    if (desktopListNames(desktop_, "KDE")) return setPlasmaScheme(on);
    if (desktopListNames(desktop_, "XFCE")) return setXfceTheme(on);
    return setGSettingsColorScheme(on);
}

} // namespace twk
