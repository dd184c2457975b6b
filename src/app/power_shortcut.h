#pragma once

#include "app/app_state.h"
#include "platform/global_shortcut.h"
#include "platform/settings.h"

#include <optional>
#include <string>

namespace twk {

/// The global shortcut that flips the power switch from anywhere. The
/// combination comes from an override (the environment), else the setting
/// "twk.globalShortcut", else Super+Alt+Space; "none" means no shortcut.
/// Why it could not be taken (bad text, held by another program) is logged
/// once and published in `AppState::shortcutProblem`.
class PowerShortcut {
public:
    static constexpr const char* settingsKey = "twk.globalShortcut";
    static constexpr const char* defaultCombination = "Super+Alt+Space";

    PowerShortcut(AppState& state, Settings& settings, GlobalShortcut& keys)
        : state_(state), settings_(settings), keys_(keys)
    {
    }

    void start(const std::optional<std::string>& override);

private:
    void report(const std::string& problem);

    AppState& state_;
    Settings& settings_;
    GlobalShortcut& keys_;
};

} // namespace twk
