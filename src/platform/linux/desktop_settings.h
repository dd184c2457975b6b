#pragma once

#include <string>

namespace twk {

/// The desktop's settings panes the app sends the user to.
enum class SettingsPane { accessibility, privacy, sound };

/// Opens the pane in the first settings program found (GNOME, KDE, Xfce),
/// as a separate process with plain arguments. Returns false when the
/// desktop has none.
bool openDesktopSettings(SettingsPane pane);

} // namespace twk
