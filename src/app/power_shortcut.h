#pragma once

#include "app/app_state.h"
#include "platform/global_shortcut.h"
#include "platform/settings.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// The global shortcut that flips the power switch from anywhere. The
/// combination comes from an override (the environment), else the setting
/// "twk.globalShortcut", else Super+Alt+Space; "none" means no shortcut.
/// The ways of taking it are tried in order while one says it does not work
/// here. Why it could not be taken (bad text, held by another program,
/// refused) is logged once and published in `AppState::shortcutProblem`.
class PowerShortcut {
public:
    static constexpr const char* settingsKey = "twk.globalShortcut";
    static constexpr const char* defaultCombination = "Super+Alt+Space";

    /// `ways`: non-null, outliving this object.
    PowerShortcut(AppState& state, Settings& settings, std::vector<GlobalShortcut*> ways);
    ~PowerShortcut();

    void start(const std::optional<std::string>& override);

private:
    void tryWay(size_t index, const ShortcutKeys& combination);
    void report(const std::string& problem);

    AppState& state_;
    Settings& settings_;
    std::vector<GlobalShortcut*> ways_;
    // Outcomes that arrive after this object is gone check this first.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace twk
