#pragma once

#include "app/app_state.h"
#include "common/main_loop.h"
#include "common/observable.h"
#include "platform/permissions.h"
#include "ui/popover_view.h"
#include "ui/status_style.h"

#include <QElapsedTimer>

#include <memory>
#include <optional>

class QMenu;
class QObject;
class QSystemTrayIcon;

namespace twk::ui {

class StatusHUDController;

/// The tray item and the popover under it. The icon follows the session's
/// status; a click toggles the popover; while it is open the three
/// permissions are re-read every 1.5 s. Without any tray on the desktop the
/// HUD's status area opens the popover instead.
class MenuBarController {
public:
    static constexpr Duration permissionPollInterval = std::chrono::milliseconds(1500);

    MenuBarController(AppState& state, Permissions& permissions, MainLoop& loop, StatusHUDController& hud,
                      PopoverActions actions);
    ~MenuBarController();
    MenuBarController(const MenuBarController&) = delete;
    MenuBarController& operator=(const MenuBarController&) = delete;

    void togglePopover();
    void applyIcon(const SessionStatus& status);
    void refreshPermissions();
    bool hasTray() const { return statusItem_ != nullptr; }
    PopoverView& popover() { return *popover_; }

private:
    void configureStatusItem();
    void observeState();
    void stopPermissionPoll();
    QPoint popoverAnchor() const;

    AppState& state_;
    Permissions& permissions_;
    MainLoop& loop_;
    StatusHUDController& hud_;
    std::unique_ptr<QSystemTrayIcon> statusItem_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QObject> paletteWatcher_;
    std::unique_ptr<PopoverView> popover_;
    Subscription statusSub_;
    Subscription enabledSub_;
    std::optional<TimerHandle> permissionPoll;
    std::optional<TrayGlyph> shownGlyph_;
    // When the popover last closed: a click on the tray item closes it
    // (a click outside a popup) just before the item reports the click.
    QElapsedTimer sinceClosed_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace twk::ui
