#pragma once

#include <optional>
#include <string>

namespace twk {

/// The GTK theme to switch to for the dark (`dark`) or light scheme, given
/// the theme in use: its "-dark" sibling or the theme it is the dark
/// sibling of, when that theme is installed (Adwaita always is: GTK carries
/// it). Nothing when the theme has no such sibling or already fits.
std::optional<std::string> themeVariant(const std::string& current, bool dark);

} // namespace twk
