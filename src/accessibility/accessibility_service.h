#pragma once

#include "accessibility/element_marker.h"
#include "accessibility/mark_element_map.h"
#include "accessibility/menu_reader.h"
#include "common/worker_pool.h"
#include "platform/accessibility.h"
#include "platform/workspace.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace twk {

struct ScreenSnapshot {
    std::string text;
    std::vector<MarkedElement> marks;
    int elementCount = 0;
};

/// Reading other applications' windows and menus through their
/// accessibility trees, and the marks later actions address.
///
/// Every operation here blocks on other applications and must run on
/// `thread()`, the one thread that owns the accessibility connection and the
/// mark table: callers `co_await onWorker(service.thread())` first.
class AccessibilityService {
public:
    struct Services {
        Accessibility& ax;
        Workspace& workspace;
        MarkElementMap& markElementMap;
        /// One thread of its own: the accessibility thread.
        WorkerPool& thread;
        /// This program: its windows never count as the frontmost.
        int ownPid;
        /// Waits on the calling thread (a menu activation settling).
        std::function<void(Duration)> pause;
    };

    explicit AccessibilityService(const Services& services);

    WorkerPool& thread() const { return thread_; }
    Accessibility& accessibility() const { return ax_; }
    MarkElementMap& markElementMap() const { return map_; }
    ElementMarker& marker() { return marker_; }

    std::optional<WindowMarks> markFocusedWindow(int limit);
    ScreenSnapshot snapshotText(int limit);
    std::optional<AppMenus> menus(const std::optional<std::string>& appName);
    Expected<std::string> invokeMenu(const std::optional<std::string>& appName, const std::vector<std::string>& path);
    /// Asks for accessibility to be on and opens its settings, every time.
    void requestAccess();

private:
    Accessibility& ax_;
    MarkElementMap& map_;
    WorkerPool& thread_;
    ElementMarker marker_;
    MenuReader menuReader_;
};

} // namespace twk
