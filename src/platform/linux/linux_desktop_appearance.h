#pragma once

#include "platform/desktop_appearance.h"

#include <string>

namespace twk {

/// Dark mode on the Linux desktops: KDE Plasma through its colour-scheme
/// tool, Xfce through its settings daemon's theme, and GNOME and every other
/// desktop through GNOME's colour-scheme preference (which GTK, libadwaita
/// and the desktop portal follow). The desktop is told by
/// XDG_CURRENT_DESKTOP.
class LinuxDesktopAppearance : public DesktopAppearance {
public:
    /// The desktop from the environment.
    LinuxDesktopAppearance();
    explicit LinuxDesktopAppearance(std::string currentDesktop) : desktop_(std::move(currentDesktop)) {}

    std::optional<std::string> setDarkMode(bool on) override;

private:
    std::string desktop_;
};

} // namespace twk
