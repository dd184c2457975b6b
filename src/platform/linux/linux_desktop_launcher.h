#pragma once

#include "platform/desktop_launcher.h"

#include <chrono>
#include <string>

namespace twk {

/// The desktop's launcher as far as it can be asked without key presses:
/// KRunner takes a query over the session bus, on KDE Plasma (told by
/// XDG_CURRENT_DESKTOP; the bus starts it when needed) or wherever it runs.
class LinuxDesktopLauncher : public DesktopLauncher {
public:
    /// The desktop from the environment.
    LinuxDesktopLauncher();
    explicit LinuxDesktopLauncher(std::string currentDesktop) : desktop_(std::move(currentDesktop)) {}

    bool searchDirectly(const std::string& query) override;

private:
    std::string desktop_;
};

} // namespace twk
