#pragma once

// Which monitor a screenshot shows: the one the user is working on.

#include "platform/screen.h"
#include "platform/workspace.h"

#include <optional>
#include <vector>

namespace twk {

/// Windows must be larger than this, in points each way, to say where the
/// user works: smaller ones are palettes, tooltips and the like.
inline constexpr double minimumWorkWindowSide = 200;

/// The display holding the centre of the front-most ordinary window of
/// `frontPid` that is larger than the minimum; nothing when none qualifies.
std::optional<DisplayInfo> frontmostAppScreen(const std::vector<DisplayInfo>& displays,
                                              const std::vector<ScreenWindow>& frontToBack, std::optional<int> frontPid);
/// The display under the pointer; nothing when it is on none.
std::optional<DisplayInfo> mouseScreen(const std::vector<DisplayInfo>& displays, std::optional<ScreenPoint> pointer);
/// The frontmost application's display, else the pointer's, else the main
/// one; nothing when the desktop has no display.
std::optional<DisplayInfo> chooseDisplay(Screen& screen, Workspace& workspace);

} // namespace twk
