#include "app/power_shortcut.h"

#include "common/log.h"
#include "common/text_case.h"

namespace twk {

void PowerShortcut::start(const std::optional<std::string>& override)
{
    std::string text = override.value_or(settings_.string(settingsKey).value_or(""));
    if (isBlank(text)) text = defaultCombination;
    if (lowercased(text) == "none") {
        logLine("[twk] global shortcut: none");
        state_.shortcutProblem.set("");
        return;
    }
    const auto combination = parseKeyCombination(text);
    if (!combination) return report(combination.error().description());
    AppState& state = state_;
    const auto bound = keys_.bind(combination.value(), [&state] {
        const bool on = !state.isEnabled();
        logLine(std::string("[twk] global shortcut: switching ") + (on ? "on" : "off"));
        state.setEnabled(on);
    });
    if (!bound) return report(bound.error().description());
    logLine("[twk] global shortcut " + combination.value().text() + " switches Tarnwick on and off");
    state_.shortcutProblem.set("");
}

void PowerShortcut::report(const std::string& problem)
{
    logLine("[twk] global shortcut not available: " + problem);
    state_.shortcutProblem.set(problem);
}

} // namespace twk
