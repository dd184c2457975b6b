#pragma once

// Numbering the interactive elements of the frontmost window.

#include "accessibility/ax_attributes.h"
#include "accessibility/mark_element_map.h"
#include "accessibility/marked_element.h"
#include "platform/accessibility.h"
#include "platform/workspace.h"

#include <optional>
#include <string>
#include <vector>

namespace twk {

/// The roles that can be numbered.
const std::vector<std::string>& interactiveRoles();

/// An interactive role; static text only when it has a title or a value.
bool isInteractive(Accessibility& ax, const AXElementRef& element);
/// The first non-empty of title, description, help, placeholder and role
/// description, cut to 80 characters; "" when none.
std::string readMarkLabel(Accessibility& ax, const AXElementRef& element);
/// The element's actions as verbs ("press", "open-menu", ...), in its order;
/// actions without a verb are left out.
std::vector<std::string> availableActions(Accessibility& ax, const AXElementRef& element);
/// "AXSelected" when it is a boolean, else a value of exactly 0 or 1.
std::optional<bool> readSelectedState(Accessibility& ax, const AXElementRef& element);
/// What a marking records of `element`, numbered `id`, at `frame`.
MarkedElement describeMark(Accessibility& ax, const AXElementRef& element, int id, const AXRect& frame);

struct WindowMarks {
    std::string appName;
    std::string windowTitle;
    std::vector<MarkedElement> marks;
};

/// Walks the focused window of the frontmost application and numbers what
/// can be acted on. Runs on the accessibility thread.
class ElementMarker {
public:
    /// Windows of `ownPid` (this program) never count as the frontmost.
    ElementMarker(Accessibility& ax, Workspace& workspace, MarkElementMap& map, int ownPid)
        : ax_(ax), workspace_(workspace), map_(map), ownPid_(ownPid)
    {
    }

    /// At most `limit` marks, in depth-first pre-order, 30 levels deep; the
    /// map then holds exactly their elements. Nothing (and the map kept) when
    /// no application or window is in front.
    std::optional<WindowMarks> markFocusedWindow(int limit);

    /// Off, the walk visits every element within the limits, also under
    /// hidden elements and past a list's visible rows: the reference the
    /// shortcuts must agree with. On by default.
    void setShortcuts(bool on) { shortcuts_ = on; }

    /// Elements visited per marking at most: a window of 100,000 nodes with
    /// little to mark costs a bounded walk, not minutes.
    static constexpr int visitBudget = 6000;

private:
    Accessibility& ax_;
    Workspace& workspace_;
    MarkElementMap& map_;
    int ownPid_;
    bool shortcuts_ = true;
};

/// The name the user knows `pid` by; "?" when the desktop gives none.
std::string applicationName(Workspace& workspace, int pid);

} // namespace twk
