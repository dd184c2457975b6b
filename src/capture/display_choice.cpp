#include "capture/display_choice.h"

namespace twk {
namespace {

std::optional<DisplayInfo> displayAt(const std::vector<DisplayInfo>& displays, ScreenPoint point)
{
    for (const auto& display : displays)
        if (display.bounds.contains(point)) return display;
    return std::nullopt;
}

} // namespace

std::optional<DisplayInfo> frontmostAppScreen(const std::vector<DisplayInfo>& displays,
                                              const std::vector<ScreenWindow>& frontToBack, std::optional<int> frontPid)
{
    if (!frontPid) return std::nullopt;
    for (const auto& window : frontToBack) {
        if (window.ownerPid != *frontPid || window.layer != 0) continue;
        if (!(window.bounds.width > minimumWorkWindowSide && window.bounds.height > minimumWorkWindowSide)) continue;
        const ScreenPoint centre{window.bounds.x + window.bounds.width * 0.5,
                                 window.bounds.y + window.bounds.height * 0.5};
        // A window whose centre is off every display says nothing: try the next.
        if (auto display = displayAt(displays, centre)) return display;
    }
    return std::nullopt;
}

std::optional<DisplayInfo> mouseScreen(const std::vector<DisplayInfo>& displays, std::optional<ScreenPoint> pointer)
{
    if (!pointer) return std::nullopt;
    return displayAt(displays, *pointer);
}

std::optional<DisplayInfo> chooseDisplay(Screen& screen, Workspace& workspace)
{
    const auto displays = screen.displays();
    if (displays.empty()) return std::nullopt;
    if (auto display = frontmostAppScreen(displays, screen.windowsFrontToBack(), workspace.frontmostApplicationPid()))
        return display;
    if (auto display = mouseScreen(displays, screen.pointerLocation())) return display;
    return displays.front();
}

} // namespace twk
