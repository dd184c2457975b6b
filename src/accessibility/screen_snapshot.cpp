#include "accessibility/screen_snapshot.h"

#include "accessibility/character_prefix.h"
#include "common/text_case.h"

namespace twk {
namespace {

constexpr std::size_t valueLength = 60;
constexpr std::size_t summaryMenus = 12;
constexpr std::size_t summaryItems = 14;

std::string shownRole(const std::string& role)
{
    const std::string_view bare = role.starts_with("AX") ? std::string_view(role).substr(2) : std::string_view(role);
    return lowercased(bare);
}

} // namespace

std::string markLine(const MarkedElement& mark)
{
    std::string line = "[" + std::to_string(mark.id) + "] " + shownRole(mark.role);
    if (!mark.label.empty()) line += " \"" + mark.label + "\"";
    if (mark.value && !mark.value->empty()) line += " value=\"" + characterPrefix(*mark.value, valueLength) + "\"";
    if (mark.selected == true) line += " \u2713selected";
    if (mark.enabled == false) line += " disabled";
    if (mark.focused == true) line += " focused";
    if (mark.actions && !mark.actions->empty() && *mark.actions != std::vector<std::string>{"press"}) {
        line += " actions=[";
        for (std::size_t i = 0; i < mark.actions->size(); ++i) line += (i > 0 ? "," : "") + (*mark.actions)[i];
        line += "]";
    }
    return line;
}

std::string renderSnapshot(const std::optional<WindowMarks>& window, const std::optional<AppMenus>& menus)
{
    std::string text;
    if (window) {
        text = "FRONT APP: " + window->appName;
        if (!window->windowTitle.empty()) text += "\nWINDOW: " + window->windowTitle;
        text += "\n\nINTERACTIVE ELEMENTS (" + std::to_string(window->marks.size()) +
                ") \u2014 act on these by id with click/set_value:";
        for (const auto& mark : window->marks) text += "\n  " + markLine(mark);
    } else {
        text = "No accessibility elements found for the focused window. The content may be web/canvas \u2014 call "
               "take_screenshot to see it visually, then click_at coordinates.";
    }
    if (menus && !menus->menus.empty()) {
        text += "\n\nMENU BAR \u2014 invoke any item by path with invoke_menu, e.g. invoke_menu([\"File\",\"New\"]). "
                "Highly reliable:";
        for (std::size_t i = 0; i < menus->menus.size() && i < summaryMenus; ++i) {
            const MenuEntry& menu = menus->menus[i];
            text += "\n  " + menu.title;
            std::string items;
            for (std::size_t k = 0; k < menu.children.size() && k < summaryItems; ++k) {
                if (menu.children[k].title.empty()) continue;
                items += (items.empty() ? "" : ", ") + menu.children[k].title;
            }
            if (!items.empty()) text += ": " + items;
        }
    }
    return text;
}

} // namespace twk
