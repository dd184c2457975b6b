#pragma once

// Acting on the elements of the last marking, addressed by their numbers.

#include "accessibility/accessibility_service.h"
#include "accessibility/marked_element.h"
#include "common/expected.h"
#include "platform/input.h"

#include <optional>
#include <string>

namespace twk {

/// Presses, fills and re-reads marked elements, and searches a window's
/// text. Failures are errors of domain "twk.ax": 404 for an unknown mark,
/// 400 for an unknown verb, else the accessibility error code (negative),
/// so a caller can tell a vanished element from one that refuses.
///
/// Every operation runs on the accessibility service's thread (the marks
/// and their elements live there); callers hop there first.
class MarkActions {
public:
    MarkActions(AccessibilityService& service, InputDevice& device) : service_(service), device_(device) {}

    AccessibilityService& service() const { return service_; }

    /// Runs a verb of the marking's action list ("press", "open-menu", ...).
    Expected<std::string> performMarkAction(int id, const std::string& verb);
    /// Presses the element; when it refuses, clicks the middle of its frame
    /// with the real pointer instead.
    Expected<std::string> clickMark(int id);
    Expected<std::string> setMarkValue(int id, const std::string& value);
    /// The element as it is now, read like a marking does (a frame it has
    /// lost reads as all zeros); nothing for an unknown mark. The mark
    /// table stays as it is.
    std::optional<MarkedElement> readMarkState(int id);
    /// Whether the focused window of `pid` shows `text` anywhere in its
    /// first `searchBudget` elements, `searchDepth` levels deep, ignoring
    /// case and surrounding blanks.
    bool focusedWindowContainsText(int pid, const std::string& text);

    static constexpr int searchBudget = 400;
    static constexpr int searchDepth = 22;

private:
    AccessibilityService& service_;
    InputDevice& device_;
};

} // namespace twk
