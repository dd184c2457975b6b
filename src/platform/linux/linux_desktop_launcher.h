#pragma once

#include "platform/desktop_launcher.h"

#include <chrono>
#include <string>

namespace twk {

/// The desktop's launcher: KRunner takes a query over the session bus, on
/// KDE Plasma (the bus starts it when needed) or wherever it runs; Plasma's
/// KRunner and Xfce's application finder open on their default shortcuts.
/// GNOME's overview opens on the Super key alone, which is not a key
/// combination, so it has none here. The desktop is told by
/// XDG_CURRENT_DESKTOP.
class LinuxDesktopLauncher : public DesktopLauncher {
public:
    /// The desktop from the environment.
    LinuxDesktopLauncher();
    explicit LinuxDesktopLauncher(std::string currentDesktop) : desktop_(std::move(currentDesktop)) {}

    bool searchDirectly(const std::string& query) override;
    std::optional<std::string> searchShortcut() override;

private:
    std::string desktop_;
};

} // namespace twk
