#pragma once

#include "app/app_state.h"
#include "common/observable.h"
#include "ui/status_hud_view.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

namespace twk::ui {

/// Owns the floating HUD panel: a frameless window that stays above other
/// windows, never takes the keyboard focus (the agent types into the user's
/// window), stays out of the taskbar and window switcher, and sits in the
/// top-right corner of the primary screen at the size the state calls for.
class StatusHUDController {
public:
    explicit StatusHUDController(AppState& state);
    ~StatusHUDController();
    StatusHUDController(const StatusHUDController&) = delete;
    StatusHUDController& operator=(const StatusHUDController&) = delete;

    /// Creates the panel on first use, sizes it and shows it without activating it.
    void show();
    /// Sets the panel's size and puts it back in the corner.
    void resize();

    /// What a click on the HUD's status area does (none by default).
    void setOnStatusClicked(std::function<void()> fn);

    /// The panel, once shown.
    StatusHUDView* panel() const { return panel_.get(); }

private:
    void scheduleResize();

    AppState& state_;
    std::unique_ptr<StatusHUDView> panel_;
    Subscription enabledSub_, stepsSub_, recentSub_, activitySub_;
    // The four values that decide the size, as last seen, to skip repeats.
    std::tuple<bool, size_t, size_t, std::string> seen_;
    bool resizePending_ = false;
    std::function<void()> onStatusClicked_;
};

} // namespace twk::ui
