#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace twk {

/// One live element of another application's accessibility tree. Opaque to
/// the core: only the implementation that handed it out can read it. A
/// reference may go stale when the application changes its interface; reads
/// of a stale one fail like any unreadable attribute.
class AXElement {
public:
    virtual ~AXElement() = default;
    /// Equal for two handles of the same live element (a tree that lists an
    /// element twice, or contains a cycle, shows up through it).
    virtual std::uintptr_t identity() const = 0;
};
using AXElementRef = std::shared_ptr<const AXElement>;

struct AXPoint {
    double x = 0;
    double y = 0;
};
struct AXSize {
    double width = 0;
    double height = 0;
};

/// An attribute's value. Numbers are doubles; element lists keep the
/// application's order.
using AXValue = std::variant<std::string, double, bool, AXElementRef, std::vector<AXElementRef>, AXPoint, AXSize>;

/// The accessibility trees of the user's applications, read through the
/// attribute model below.
///
/// Threading: not thread-safe. Every call, and the release of every
/// AXElementRef it returns, happens on one thread (the accessibility
/// thread), so the core hops there before touching it. A call that the
/// target application does not answer within a bound fails instead of
/// waiting on.
///
/// Attributes an element answers (Linux: AT-SPI):
/// | Name                     | Value   | AT-SPI source                                                                  |
/// |--------------------------|---------|--------------------------------------------------------------------------------|
/// |                          |         | role, translated: push button → AXButton; push button menu → AXMenuButton;     |
/// |                          |         | check box, toggle button (GTK switches too) → AXCheckBox;                      |
/// |                          |         | radio button → AXRadioButton; text, entry, password text → AXTextField         |
/// |                          |         | (AXTextArea when MULTI_LINE); link → AXLink; menu bar → AXMenuBar; menu item,  |
/// |                          |         | check/radio menu item, tear-off item → AXMenuItem, or AXMenuBarItem directly   |
/// |                          |         | under a menu bar; a named menu (GTK's menu titles and submenus) → the same     |
/// |                          |         | item roles, with a synthesized AXMenu child holding its items; popup menu →    |
/// |                          |         | AXMenu; combo box → AXComboBox (AXPopUpButton when not EDITABLE); slider →     |
/// |                          |         | AXSlider; spin button → AXIncrementor; page tab → AXTab; page tab list →       |
/// |                          |         | AXTabGroup; list item, table row, tree item → AXRow (AXOutlineRow in a tree);  |
/// |                          |         | table cell → AXCell; tree, tree table → AXOutline; list, list box → AXList;    |
/// |                          |         | table → AXTable; label, static, caption → AXStaticText; color chooser →        |
/// |                          |         | AXColorWell; frame, window, dialog, alert, file chooser → AXWindow; scroll bar |
/// |                          |         | → AXScrollBar; scroll pane → AXScrollArea; tool bar → AXToolbar; image →       |
/// |                          |         | AXImage; heading → AXHeading; separator → AXSplitter; panel, filler and the    |
/// |                          |         | rest → AXGroup; application → AXApplication.                                   |
/// | "AXTitle"                | string  | name, spaces trimmed (GTK menu items carry trailing ones)                      |
/// | "AXDescription"          | string  | description                                                                    |
/// | "AXHelp"                 | string  | object attribute "tooltip" (Qt: "help-text"), when any                         |
/// | "AXPlaceholderValue"     | string  | object attribute "placeholder-text"                                            |
/// | "AXRoleDescription"      | string  | localized role name                                                            |
/// | "AXValue"                | string  | text contents of text roles (never of password fields)                         |
/// |                          | number  | current value (Value interface: sliders, spin buttons, progress bars);        |
/// |                          |         | checkable roles: 1 checked or pressed, 0 not, 2 INDETERMINATE                  |
/// | "AXSelected"             | boolean | SELECTED, for SELECTABLE elements only                                         |
/// | "AXEnabled"              | boolean | ENABLED                                                                        |
/// | "AXFocused"              | boolean | FOCUSED                                                                        |
/// | "AXPosition", "AXSize"   | point,  | extents in screen coordinates, top-left origin, clipped to the screen; only    |
/// |                          | size    | for SHOWING elements that overlap the screen (off-screen rows report INT_MIN   |
/// |                          |         | extents, closed menus' items 1×1 at INT_MIN: those have no frame)              |
/// | "AXChildren"             | list    | children in order (a synthesized AXMenu for named menus, see above)            |
/// | "AXFocusedWindow"        | element | application only: its ACTIVE frame, window or dialog                          |
/// | "AXMenuBar"              | element | application only: the menu bar of its active (else first) window              |
/// | "AXMenuItemCmdChar"      | string  | menu items: the key of the accelerator key binding ("<Primary><Shift>s" → "s", |
/// |                          |         | "Ctrl+Shift+S" → "S"); a mnemonic (a letter, or Alt and a letter) is none      |
/// | "AXMenuItemCmdModifiers" | number  | bits: 1 Shift, 2 Alt, 4 Super, 8 no Control. Control plays the command key's   |
/// |                          |         | role, so "<Control>n" gives 0 and a bare "F5" gives 8                          |
///
/// Actions (`actionNames`, `performAction`): "AXPress" for click, press,
/// activate, jump, toggle, expand or contract; "AXShowMenu" for show menu /
/// popup; "AXIncrement"/"AXDecrement" for increase/decrease; each AX name at
/// most once, run through the first AT-SPI action that gives it.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    /// Whether this program can read other applications' trees. With
    /// `prompt`, a platform that grants access per program asks the user
    /// (Linux grants none: any program on the accessibility bus can read).
    virtual bool isProcessTrusted(bool prompt) = 0;
    /// Opens the desktop's accessibility settings; false when it has none
    /// (Linux desktops share no such panel).
    virtual bool openAccessibilitySettings() = 0;

    /// The application whose window is in front, leaving out the windows of
    /// `excludedPid` (this program's own HUD and popover are always shown):
    /// then the topmost window of another application counts.
    virtual std::optional<int> frontmostApplicationPid(int excludedPid) = 0;
    /// The application element of process `pid`; null when it exposes no tree.
    virtual AXElementRef applicationElement(int pid) = 0;
    /// One attribute; nothing when missing or unreadable.
    virtual std::optional<AXValue> attribute(const AXElementRef& element, std::string_view name) = 0;
    /// "AXChildren" one child at a time, for walks that stop early: how many
    /// children there are, then each by index (null when it cannot be read).
    /// By default both read the whole list; implementations that pay a round
    /// trip per child override them.
    virtual std::size_t childCount(const AXElementRef& element)
    {
        const auto list = attribute(element, "AXChildren");
        const auto* children = list ? std::get_if<std::vector<AXElementRef>>(&*list) : nullptr;
        return children != nullptr ? children->size() : 0;
    }
    virtual AXElementRef childAt(const AXElementRef& element, std::size_t index)
    {
        auto list = attribute(element, "AXChildren");
        auto* children = list ? std::get_if<std::vector<AXElementRef>>(&*list) : nullptr;
        return children != nullptr && index < children->size() ? std::move((*children)[index]) : nullptr;
    }
    /// Children `first` to `first + count - 1` (fewer at the end); by
    /// default a slice of "AXChildren".
    virtual std::vector<AXElementRef> childRange(const AXElementRef& element, std::size_t first, std::size_t count)
    {
        auto list = attribute(element, "AXChildren");
        auto* children = list ? std::get_if<std::vector<AXElementRef>>(&*list) : nullptr;
        if (children == nullptr || first >= children->size()) return {};
        const auto begin = children->begin() + static_cast<std::ptrdiff_t>(first);
        const auto end = children->size() - first > count ? begin + static_cast<std::ptrdiff_t>(count) : children->end();
        return {std::make_move_iterator(begin), std::make_move_iterator(end)};
    }
    /// Tells the implementation that these elements are about to be read
    /// (a walk's next children). One that pays a round trip per read may
    /// fetch what a marking reads of all of them at once; reads then give
    /// the same answers, sooner. Answers fetched ahead are kept until the
    /// next refresh().
    virtual void prefetch(const std::vector<AXElementRef>&) {}
    /// Whether the element is known not to be shown at all (a closed
    /// menu's items, a hidden panel): then nothing under it is shown either.
    /// False when that cannot be told.
    virtual bool isHidden(const AXElementRef&) { return false; }
    /// The element's AX action names in its own order; nothing when unreadable.
    virtual std::optional<std::vector<std::string>> actionNames(const AXElementRef& element) = 0;
    /// 0 when the action ran, else an error code (negative on Linux).
    virtual int performAction(const AXElementRef& element, std::string_view action) = 0;
    /// Sets "AXValue" (text or number) or "AXFocused"; 0 or an error code.
    virtual int setAttribute(const AXElementRef& element, std::string_view name, const AXValue& value) = 0;

    /// Whether the first item of every menu bar is the system's own menu
    /// rather than the application's (not so on Linux desktops).
    virtual bool menuBarStartsWithSystemMenu() const = 0;
    /// Lets cached tree state catch up with the applications; called before
    /// each marking.
    virtual void refresh() {}
};

} // namespace twk
