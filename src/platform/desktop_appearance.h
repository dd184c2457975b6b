#pragma once

#include <optional>
#include <string>

namespace twk {

/// The desktop's light or dark colour scheme. Callable from any thread.
class DesktopAppearance {
public:
    virtual ~DesktopAppearance() = default;

    /// Switches the desktop to its dark (`on`) or light scheme and waits
    /// until the change is stored. Nothing on success, else why it could not
    /// be done, for the user.
    virtual std::optional<std::string> setDarkMode(bool on) = 0;
};

} // namespace twk
