#pragma once

#include "platform/screen.h"

#include <vector>

struct xcb_connection_t;

namespace twk {

/// The monitors of the X screen with root window `root` (RandR 1.5
/// monitors, so a wide screen split with `xrandr --setmonitor` counts as
/// several), the primary one first. Without RandR monitors, the whole
/// screen as one display named "screen".
std::vector<DisplayInfo> x11Monitors(xcb_connection_t* connection, uint32_t root);

} // namespace twk
