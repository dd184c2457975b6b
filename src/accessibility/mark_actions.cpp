#include "accessibility/mark_actions.h"

#include "accessibility/ax_attributes.h"
#include "accessibility/element_marker.h"
#include "common/text_case.h"

#include <array>
#include <utility>

namespace twk {
namespace {

Error markError(int code, const std::string& message) { return Error("twk.ax", code, message); }

Error noMark(int id) { return markError(404, "no mark " + std::to_string(id)); }

/// An accessibility failure as it reads inside a message.
std::string printed(int code) { return "AXError(" + std::to_string(code) + ")"; }

std::optional<std::string> actionForVerb(const std::string& verb)
{
    static const std::array<std::pair<const char*, const char*>, 7> actions{{{"press", "AXPress"},
                                                                             {"open-menu", "AXShowMenu"},
                                                                             {"increment", "AXIncrement"},
                                                                             {"decrement", "AXDecrement"},
                                                                             {"pick", "AXPick"},
                                                                             {"confirm", "AXConfirm"},
                                                                             {"cancel", "AXCancel"}}};
    for (const auto& [name, action] : actions)
        if (verb == name) return std::string(action);
    return std::nullopt;
}

struct TextScan {
    Accessibility& ax;
    const std::string& needle;
    int budget = MarkActions::searchBudget;
};

bool scanForText(TextScan& scan, const AXElementRef& element, int depth)
{
    if (scan.budget < 1 || depth > MarkActions::searchDepth || !element) return false;
    --scan.budget;
    for (const char* name : {"AXTitle", "AXValue", "AXDescription"}) {
        const auto text = stringAttr(scan.ax, element, name);
        if (text && lowercased(*text).find(scan.needle) != std::string::npos) return true;
    }
    // A batch of children at a time: a list of thousands of rows costs only
    // what the budget lets the scan visit.
    constexpr std::size_t batch = 32;
    const std::size_t count = scan.ax.childCount(element);
    for (std::size_t first = 0; first < count; first += batch) {
        const auto kids = scan.ax.childRange(element, first, batch);
        if (kids.empty()) return false;
        for (const auto& child : kids) {
            if (scan.budget < 1) return false;
            if (scanForText(scan, child, depth + 1)) return true;
        }
    }
    return false;
}

std::string trimmedBlanks(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

Expected<std::string> MarkActions::performMarkAction(int id, const std::string& verb)
{
    const auto element = service_.markElementMap().element(id);
    if (!element) return noMark(id);
    const auto action = actionForVerb(verb);
    if (!action) return markError(400, "unknown action verb '" + verb + "'");
    const int status = service_.accessibility().performAction(element, *action);
    if (status != 0) return markError(status, verb + " failed: " + printed(status));
    return verb + " on [" + std::to_string(id) + "]";
}

Expected<std::string> MarkActions::clickMark(int id)
{
    const auto element = service_.markElementMap().element(id);
    if (!element) return markError(404, "no mark " + std::to_string(id) + " (was inspect_screen called recently?)");
    Accessibility& ax = service_.accessibility();
    const int status = ax.performAction(element, "AXPress");
    const std::string clicked = "clicked mark " + std::to_string(id);
    if (status == 0) return clicked;

    // The window may have moved since the marking read its elements ahead.
    ax.refresh();
    // A frame without area has no middle to click: something else lies there.
    const auto frame = axFrame(ax, element);
    if (!frame || !(frame->width > 0) || !(frame->height > 0))
        return markError(status, "press failed: " + printed(status));
    const ScreenPoint centre{frame->x + frame->width / 2, frame->y + frame->height / 2};
    const bool posted = device_.usable() && device_.postMouseButton(MouseButton::left, true, centre, 1) &&
                        device_.postMouseButton(MouseButton::left, false, centre, 1);
    if (!posted) {
        // A button pressed without its release would stay down for the user.
        device_.releaseHeldKeys();
        return markError(status, "press failed (" + printed(status) + ") and synth-click setup failed");
    }
    return clicked + " (synth at center)";
}

Expected<std::string> MarkActions::setMarkValue(int id, const std::string& value)
{
    const auto element = service_.markElementMap().element(id);
    if (!element) return noMark(id);
    const int status = service_.accessibility().setAttribute(element, "AXValue", AXValue(value));
    if (status != 0) return markError(status, "set value failed: " + printed(status));
    return "set mark " + std::to_string(id) + " to '" + value + "'";
}

std::optional<MarkedElement> MarkActions::readMarkState(int id)
{
    const auto element = service_.markElementMap().element(id);
    if (!element) return std::nullopt;
    Accessibility& ax = service_.accessibility();
    // What the marking read ahead is the state before the action, not now.
    ax.refresh();
    return describeMark(ax, element, id, axFrame(ax, element).value_or(AXRect{}));
}

bool MarkActions::focusedWindowContainsText(int pid, const std::string& text)
{
    const std::string needle = lowercased(trimmedBlanks(text));
    if (needle.empty()) return false;
    Accessibility& ax = service_.accessibility();
    ax.refresh();
    const auto app = ax.applicationElement(pid);
    if (!app) return false;
    const auto window = elementAttr(ax, app, "AXFocusedWindow");
    if (!window) return false;
    const auto title = stringAttr(ax, window, "AXTitle");
    if (title && lowercased(*title).find(needle) != std::string::npos) return true;
    TextScan scan{ax, needle};
    return scanForText(scan, window, 0);
}

} // namespace twk
