#pragma once

#include <string>

namespace twk {

/// The desktops the session says it runs (XDG_CURRENT_DESKTOP, a colon-
/// separated list such as "ubuntu:GNOME"); empty when it does not say.
std::string currentDesktop();

/// Whether the desktop list names `name`, letter case ignored.
bool desktopListNames(const std::string& desktops, const std::string& name);

} // namespace twk
