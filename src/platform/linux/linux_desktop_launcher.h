#pragma once

#include "platform/desktop_launcher.h"

#include <chrono>
#include <string>

namespace twk {

/// The launcher of the Linux desktops: KRunner (KDE Plasma, or wherever it
/// runs) takes a query over the session bus; GNOME Shell opens its overview,
/// whose search takes what is typed, when asked over the session bus; Xfce's
/// application finder opens on its default shortcut. The desktop is told by
/// XDG_CURRENT_DESKTOP.
class LinuxDesktopLauncher : public DesktopLauncher {
public:
    /// The desktop from the environment.
    LinuxDesktopLauncher();
    explicit LinuxDesktopLauncher(std::string currentDesktop) : desktop_(std::move(currentDesktop)) {}

    bool searchDirectly(const std::string& query) override;
    bool openSearch() override;
    std::optional<std::string> searchShortcut() override;

private:
    std::string desktop_;
};

} // namespace twk
