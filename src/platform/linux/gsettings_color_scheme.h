#pragma once

#include <optional>
#include <string>

namespace twk {

/// Switches GNOME's colour-scheme preference (org.gnome.desktop.interface
/// color-scheme, which GTK 4, libadwaita and the desktop portal follow) and
/// the GTK theme to its matching variant, then waits until the settings
/// store has them. Nothing on success, else why not, for the user.
std::optional<std::string> setGSettingsColorScheme(bool dark);

} // namespace twk
