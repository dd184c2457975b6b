#include "accessibility/element_marker.h"

#include "accessibility/ax_attributes.h"
#include "accessibility/character_prefix.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <unordered_set>

namespace twk {
namespace {

constexpr int maxDepth = 29;
constexpr std::size_t labelLength = 80;

struct Walk {
    Accessibility& ax;
    int limit;
    std::vector<MarkedElement> marks;
    std::vector<AXElementRef> refs;
    std::unordered_set<std::uintptr_t> visited;
    bool shortcuts = true;
    int budget = ElementMarker::visitBudget;
};

int truncated(double v)
{
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(std::trunc(v), double(INT_MIN), double(INT_MAX)));
}

bool holdsRows(const std::optional<std::string>& role)
{
    return role == "AXList" || role == "AXTable" || role == "AXOutline";
}

bool isRow(const std::optional<std::string>& role)
{
    return role == "AXRow" || role == "AXCell" || role == "AXOutlineRow";
}

/// Walks `element` and what lies under it; gives its frame when it is an
/// interactive element on a screen.
std::optional<AXRect> visit(Walk& walk, const AXElementRef& element, int depth)
{
    if (static_cast<int>(walk.marks.size()) >= walk.limit || depth > maxDepth) return std::nullopt;
    // A cycle, or an element listed twice, is walked once; a huge tree only
    // up to the budget.
    if (!element || walk.budget <= 0 || !walk.visited.insert(element->identity()).second) return std::nullopt;
    --walk.budget;
    Accessibility& ax = walk.ax;
    std::optional<AXRect> shownAt;
    if (isInteractive(ax, element)) {
        const auto frame = axFrame(ax, element);
        if (frame && frame->width >= 4 && frame->height >= 4) {
            walk.marks.push_back(describeMark(ax, element, static_cast<int>(walk.marks.size()) + 1, *frame));
            walk.refs.push_back(element);
        }
        shownAt = frame;
    }
    // Nothing under an element that is not shown is shown either.
    if (walk.shortcuts && ax.isHidden(element)) return shownAt;
    // A list shows a run of its rows; once that run reaches the list's
    // bottom edge, a row without a frame starts the rows scrolled out of
    // view, and so do all after it: a list of thousands of rows costs the
    // rows on screen, not all of them.
    const std::optional<AXRect> listFrame =
        walk.shortcuts && holdsRows(stringAttr(ax, element, "AXRole")) ? axFrame(ax, element) : std::nullopt;
    std::optional<AXRect> lastRow;
    // Children a batch at a time, each batch read ahead in one go; batches
    // shrink as the limit nears, so that few are read beyond it.
    const std::size_t count = ax.childCount(element);
    for (std::size_t first = 0; first < count;) {
        const int wanted = std::clamp(walk.limit - static_cast<int>(walk.marks.size()), 8, 32);
        const auto kids = ax.childRange(element, first, static_cast<std::size_t>(wanted));
        if (kids.empty()) return shownAt;
        first += kids.size();
        ax.prefetch(kids);
        for (const auto& child : kids) {
            if (static_cast<int>(walk.marks.size()) >= walk.limit || walk.budget <= 0) return shownAt;
            const auto frame = visit(walk, child, depth + 1);
            if (!listFrame) continue;
            if (frame) {
                lastRow = frame;
            } else if (lastRow && isRow(stringAttr(ax, child, "AXRole")) &&
                       lastRow->y + 2 * lastRow->height > listFrame->y + listFrame->height) {
                return shownAt;
            }
        }
    }
    return shownAt;
}

} // namespace

MarkedElement describeMark(Accessibility& ax, const AXElementRef& element, int id, const AXRect& frame)
{
    MarkedElement mark;
    mark.id = id;
    mark.role = stringAttr(ax, element, "AXRole").value_or("?");
    mark.label = readMarkLabel(ax, element);
    mark.value = stringAttr(ax, element, "AXValue");
    if (mark.value && mark.value->empty()) mark.value.reset();
    mark.x = truncated(frame.x);
    mark.y = truncated(frame.y);
    mark.width = truncated(frame.width);
    mark.height = truncated(frame.height);
    mark.enabled = boolAttr(ax, element, "AXEnabled");
    mark.selected = readSelectedState(ax, element);
    mark.focused = boolAttr(ax, element, "AXFocused");
    mark.actions = availableActions(ax, element);
    return mark;
}

const std::vector<std::string>& interactiveRoles()
{
    static const std::vector<std::string> roles{
        "AXButton", "AXTextField", "AXTextArea", "AXLink", "AXMenuItem", "AXMenuButton", "AXMenuBarItem",
        "AXCheckBox", "AXRadioButton", "AXPopUpButton", "AXComboBox", "AXTab", "AXTabGroup", "AXIncrementor",
        "AXSlider", "AXSearchField", "AXRow", "AXCell", "AXOutline", "AXOutlineRow", "AXDisclosureTriangle",
        "AXColorWell", "AXSwatch", "AXValueIndicator", "AXStaticText"};
    return roles;
}

bool isInteractive(Accessibility& ax, const AXElementRef& element)
{
    const auto role = stringAttr(ax, element, "AXRole");
    if (!role) return false;
    const auto& roles = interactiveRoles();
    if (std::find(roles.begin(), roles.end(), *role) == roles.end()) return false;
    if (*role != "AXStaticText") return true;
    const auto title = stringAttr(ax, element, "AXTitle");
    if (title && !title->empty()) return true;
    const auto value = stringAttr(ax, element, "AXValue");
    return value && !value->empty();
}

std::string readMarkLabel(Accessibility& ax, const AXElementRef& element)
{
    for (const char* name : {"AXTitle", "AXDescription", "AXHelp", "AXPlaceholderValue", "AXRoleDescription"}) {
        const auto text = stringAttr(ax, element, name);
        if (text && !text->empty()) return characterPrefix(*text, labelLength);
    }
    return {};
}

std::vector<std::string> availableActions(Accessibility& ax, const AXElementRef& element)
{
    static const std::pair<const char*, const char*> verbs[] = {
        {"AXPress", "press"}, {"AXShowMenu", "open-menu"}, {"AXIncrement", "increment"}, {"AXDecrement", "decrement"},
        {"AXPick", "pick"},   {"AXConfirm", "confirm"},    {"AXCancel", "cancel"}};
    std::vector<std::string> actions;
    for (const auto& name : ax.actionNames(element).value_or(std::vector<std::string>{})) {
        for (const auto& [axName, verb] : verbs)
            if (name == axName) actions.emplace_back(verb);
    }
    return actions;
}

std::optional<bool> readSelectedState(Accessibility& ax, const AXElementRef& element)
{
    const auto selected = ax.attribute(element, "AXSelected");
    if (selected)
        if (const auto* flag = std::get_if<bool>(&*selected)) return *flag;
    const auto value = numberAttr(ax, element, "AXValue");
    if (!value || !std::isfinite(*value)) return std::nullopt;
    const double whole = std::trunc(*value);
    if (whole == 0) return false;
    if (whole == 1) return true;
    return std::nullopt;
}

std::string applicationName(Workspace& workspace, int pid)
{
    for (const auto& app : workspace.runningApplications())
        if (app.pid == pid && app.localizedName) return *app.localizedName;
    return "?";
}

std::optional<WindowMarks> ElementMarker::markFocusedWindow(int limit)
{
    const auto pid = ax_.frontmostApplicationPid(ownPid_);
    if (!pid) return std::nullopt;
    const auto app = ax_.applicationElement(*pid);
    if (!app) return std::nullopt;
    const auto window = elementAttr(ax_, app, "AXFocusedWindow");
    if (!window) return std::nullopt;
    WindowMarks result;
    result.windowTitle = stringAttr(ax_, window, "AXTitle").value_or("");
    Walk walk{ax_, limit, {}, {}, {}, shortcuts_};
    visit(walk, window, 0);
    map_.replace(std::move(walk.refs));
    result.appName = applicationName(workspace_, *pid);
    result.marks = std::move(walk.marks);
    return result;
}

} // namespace twk
