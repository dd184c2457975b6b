#pragma once

// Reading an application's menu bar and running its items by title path.

#include "common/expected.h"
#include "common/main_loop.h"
#include "platform/accessibility.h"
#include "platform/workspace.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// One menu or menu item.
struct MenuEntry {
    std::string title;
    /// "cmd+shift+n"; nothing when the item has no key.
    std::optional<std::string> shortcut;
    std::vector<MenuEntry> children;
};

struct AppMenus {
    std::string appName;
    std::vector<MenuEntry> menus;
};

/// "title", "shortcut" (when present), "children" (always).
nlohmann::ordered_json toJson(const MenuEntry& entry);
std::optional<MenuEntry> menuEntryFromJson(const nlohmann::json& json);

/// The item's key combination in the words key presses use; nothing when it
/// has no key.
std::optional<std::string> readShortcut(Accessibility& ax, const AXElementRef& item);
/// The child titled `name`: equal after normalising (case, ellipses,
/// surrounding blanks) first, else containing it; null when none.
AXElementRef matchMenuChild(Accessibility& ax, const std::vector<AXElementRef>& children, const std::string& name);

/// Runs on the accessibility thread.
class MenuReader {
public:
    /// `pause` waits the given time after activating an application, so its
    /// menus are current before they are pressed.
    MenuReader(Accessibility& ax, Workspace& workspace, int ownPid, std::function<void(Duration)> pause)
        : ax_(ax), workspace_(workspace), ownPid_(ownPid), pause_(std::move(pause))
    {
    }

    /// The menus of the application named `appName`, or of the frontmost
    /// one when it is nothing or empty: 20 menus, 50 items each, 4 levels.
    std::optional<AppMenus> menus(const std::optional<std::string>& appName);
    /// Presses the item at `path`; the message says what ran. Errors in
    /// "twk.ax".
    Expected<std::string> invokeMenu(const std::optional<std::string>& appName, const std::vector<std::string>& path);

    /// The running application: by id, then name, then part of a name
    /// (any case); the frontmost one when `name` is nothing or empty.
    std::optional<RunningApplication> findApp(const std::optional<std::string>& name);

private:
    std::optional<MenuEntry> readEntry(const AXElementRef& element, int depth);

    Accessibility& ax_;
    Workspace& workspace_;
    int ownPid_;
    std::function<void(Duration)> pause_;
};

} // namespace twk
