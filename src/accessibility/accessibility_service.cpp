#include "accessibility/accessibility_service.h"

#include "accessibility/screen_snapshot.h"

namespace twk {

AccessibilityService::AccessibilityService(const Services& services)
    : ax_(services.ax), map_(services.markElementMap), thread_(services.thread),
      marker_(services.ax, services.workspace, services.markElementMap, services.ownPid),
      menuReader_(services.ax, services.workspace, services.ownPid, services.pause)
{
}

std::optional<WindowMarks> AccessibilityService::markFocusedWindow(int limit)
{
    ax_.refresh();
    return marker_.markFocusedWindow(limit);
}

ScreenSnapshot AccessibilityService::snapshotText(int limit)
{
    auto window = markFocusedWindow(limit);
    const auto menus = menuReader_.menus(std::nullopt);
    ScreenSnapshot snapshot;
    snapshot.text = renderSnapshot(window, menus);
    if (window) snapshot.marks = std::move(window->marks);
    snapshot.elementCount = static_cast<int>(snapshot.marks.size());
    return snapshot;
}

std::optional<AppMenus> AccessibilityService::menus(const std::optional<std::string>& appName)
{
    ax_.refresh();
    return menuReader_.menus(appName);
}

Expected<std::string> AccessibilityService::invokeMenu(const std::optional<std::string>& appName,
                                                       const std::vector<std::string>& path)
{
    ax_.refresh();
    return menuReader_.invokeMenu(appName, path);
}

void AccessibilityService::requestAccess()
{
    (void)ax_.isProcessTrusted(true);
    (void)ax_.openAccessibilitySettings();
}

} // namespace twk
