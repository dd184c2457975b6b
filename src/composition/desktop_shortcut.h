#pragma once

#include "app/power_shortcut.h"
#include "composition/core.h"
#include "platform/linux/portal_global_shortcut.h"
#include "platform/linux/x11_global_shortcut.h"

#include <memory>
#include <optional>

namespace twk {

/// The desktop application's global shortcut for the power switch: through
/// the desktop portal where the session bus has one, else (or when the
/// portal cannot) an X11 grab. TARNWICK_SHORTCUT overrides the combination.
class DesktopShortcut {
public:
    explicit DesktopShortcut(Core& core) : core_(core) {}

    /// Takes the combination; asking the session bus for a portal may take
    /// up to 2 s.
    void start();

private:
    Core& core_;
    X11GlobalShortcut x11_;
    std::unique_ptr<PortalGlobalShortcut> portal_;
    std::optional<PowerShortcut> power_;
};

} // namespace twk
