#include "app/power_shortcut.h"

#include "common/log.h"
#include "common/text_case.h"

namespace twk {

PowerShortcut::PowerShortcut(AppState& state, Settings& settings, std::vector<GlobalShortcut*> ways)
    : state_(state), settings_(settings), ways_(std::move(ways))
{
}

PowerShortcut::~PowerShortcut()
{
    *alive_ = false;
}

void PowerShortcut::start(const std::optional<std::string>& override)
{
    std::string text = override.value_or(settings_.string(settingsKey).value_or(""));
    if (isBlank(text)) text = defaultCombination;
    if (lowercased(text) == "none") {
        logLine("[twk] global shortcut: none");
        state_.shortcutProblem.set("");
        return;
    }
    const auto combination = parseShortcutKeys(text);
    if (!combination) return report(combination.error().description());
    tryWay(0, combination.value());
}

void PowerShortcut::tryWay(size_t index, const ShortcutKeys& combination)
{
    if (index >= ways_.size()) return report("no way to take " + combination.text() + " on this desktop");
    AppState& state = state_;
    auto onPressed = [&state] {
        const bool on = !state.isEnabled();
        logLine(std::string("[twk] global shortcut: switching ") + (on ? "on" : "off"));
        state.setEnabled(on);
    };
    ways_[index]->bind(combination, onPressed,
                       [this, alive = std::weak_ptr<bool>(alive_), index, combination](VoidResult bound) {
                           const auto living = alive.lock();
                           if (!living || !*living) return;
                           if (bound) {
                               logLine("[twk] global shortcut " + combination.text() +
                                       " switches Tarnwick on and off");
                               state_.shortcutProblem.set("");
                           } else if (bound.error().code() == GlobalShortcut::unavailableCode &&
                                      index + 1 < ways_.size()) {
                               logLine("[twk] global shortcut: " + bound.error().description() + "; trying another way");
                               tryWay(index + 1, combination);
                           } else {
                               report(bound.error().description());
                           }
                       });
}

void PowerShortcut::report(const std::string& problem)
{
    logLine("[twk] global shortcut not available: " + problem);
    state_.shortcutProblem.set(problem);
}

} // namespace twk
