#include "platform/linux/atspi_roles.h"

#include <algorithm>
#include <cctype>

namespace twk {

bool needsParentRole(AtspiRole role)
{
    return role == ATSPI_ROLE_MENU_ITEM || role == ATSPI_ROLE_CHECK_MENU_ITEM || role == ATSPI_ROLE_RADIO_MENU_ITEM ||
           role == ATSPI_ROLE_MENU || role == ATSPI_ROLE_TEAROFF_MENU_ITEM;
}

bool needsStates(AtspiRole role)
{
    return role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_COMBO_BOX;
}

bool menuActsAsItem(AtspiRole role, std::optional<AtspiRole> parent)
{
    return role == ATSPI_ROLE_MENU &&
           (parent == ATSPI_ROLE_MENU_BAR || parent == ATSPI_ROLE_MENU || parent == ATSPI_ROLE_POPUP_MENU);
}

bool isMenuItem(AtspiRole role)
{
    return role == ATSPI_ROLE_MENU_ITEM || role == ATSPI_ROLE_CHECK_MENU_ITEM || role == ATSPI_ROLE_RADIO_MENU_ITEM ||
           role == ATSPI_ROLE_MENU;
}

bool isCheckable(AtspiRole role)
{
    return role == ATSPI_ROLE_CHECK_BOX || role == ATSPI_ROLE_TOGGLE_BUTTON || role == ATSPI_ROLE_RADIO_BUTTON ||
           role == ATSPI_ROLE_CHECK_MENU_ITEM || role == ATSPI_ROLE_RADIO_MENU_ITEM;
}

bool hasNumericValue(AtspiRole role)
{
    return role == ATSPI_ROLE_SLIDER || role == ATSPI_ROLE_SPIN_BUTTON || role == ATSPI_ROLE_PROGRESS_BAR ||
           role == ATSPI_ROLE_SCROLL_BAR || role == ATSPI_ROLE_DIAL || role == ATSPI_ROLE_LEVEL_BAR;
}

bool isTextEntry(AtspiRole role)
{
    return role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_TERMINAL ||
           role == ATSPI_ROLE_PARAGRAPH || role == ATSPI_ROLE_DOCUMENT_TEXT;
}

bool isLeafForSearch(AtspiRole role)
{
    switch (role) {
    case ATSPI_ROLE_MENU:
    case ATSPI_ROLE_POPUP_MENU:
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_TREE_TABLE:
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_DOCUMENT_WEB:
    case ATSPI_ROLE_COMBO_BOX:
        return true;
    default:
        return false;
    }
}

std::string axRole(AtspiRole role, std::optional<AtspiRole> parent, bool multiLine, bool editable)
{
    const bool underBar = parent == ATSPI_ROLE_MENU_BAR;
    switch (role) {
    case ATSPI_ROLE_PUSH_BUTTON:
        return "AXButton";
    case ATSPI_ROLE_PUSH_BUTTON_MENU:
        return "AXMenuButton";
    case ATSPI_ROLE_CHECK_BOX:
    case ATSPI_ROLE_TOGGLE_BUTTON:
        return "AXCheckBox";
    case ATSPI_ROLE_RADIO_BUTTON:
        return "AXRadioButton";
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
        return multiLine ? "AXTextArea" : "AXTextField";
    case ATSPI_ROLE_LINK:
        return "AXLink";
    case ATSPI_ROLE_MENU_BAR:
        return "AXMenuBar";
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
    case ATSPI_ROLE_TEAROFF_MENU_ITEM:
        return underBar ? "AXMenuBarItem" : "AXMenuItem";
    case ATSPI_ROLE_MENU:
        if (menuActsAsItem(role, parent)) return underBar ? "AXMenuBarItem" : "AXMenuItem";
        return "AXMenu";
    case ATSPI_ROLE_POPUP_MENU:
        return "AXMenu";
    case ATSPI_ROLE_COMBO_BOX:
        return editable ? "AXComboBox" : "AXPopUpButton";
    case ATSPI_ROLE_SLIDER:
        return "AXSlider";
    case ATSPI_ROLE_SPIN_BUTTON:
        return "AXIncrementor";
    case ATSPI_ROLE_PAGE_TAB:
        return "AXTab";
    case ATSPI_ROLE_PAGE_TAB_LIST:
        return "AXTabGroup";
    case ATSPI_ROLE_LIST_ITEM:
    case ATSPI_ROLE_TABLE_ROW:
        return "AXRow";
    case ATSPI_ROLE_TREE_ITEM:
        return "AXOutlineRow";
    case ATSPI_ROLE_TABLE_CELL:
        return "AXCell";
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_TREE_TABLE:
        return "AXOutline";
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
        return "AXList";
    case ATSPI_ROLE_TABLE:
        return "AXTable";
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
    case ATSPI_ROLE_CAPTION:
        return "AXStaticText";
    case ATSPI_ROLE_COLOR_CHOOSER:
        return "AXColorWell";
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
        return "AXWindow";
    case ATSPI_ROLE_SCROLL_BAR:
        return "AXScrollBar";
    case ATSPI_ROLE_SCROLL_PANE:
        return "AXScrollArea";
    case ATSPI_ROLE_TOOL_BAR:
        return "AXToolbar";
    case ATSPI_ROLE_IMAGE:
    case ATSPI_ROLE_ICON:
        return "AXImage";
    case ATSPI_ROLE_HEADING:
        return "AXHeading";
    case ATSPI_ROLE_SEPARATOR:
        return "AXSplitter";
    case ATSPI_ROLE_PROGRESS_BAR:
        return "AXProgressIndicator";
    case ATSPI_ROLE_APPLICATION:
        return "AXApplication";
    default:
        return "AXGroup";
    }
}

std::string axActionName(const std::string& atspiName)
{
    std::string n;
    for (const char c : atspiName)
        if (c != ' ' && c != '_' && c != '-') n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (n == "click" || n == "press" || n == "activate" || n == "jump" || n == "toggle" || n == "expandorcontract" ||
        n == "expandorcollapse")
        return "AXPress";
    if (n == "showmenu" || n == "popup" || n == "menu") return "AXShowMenu";
    if (n == "increase" || n == "increment") return "AXIncrement";
    if (n == "decrease" || n == "decrement") return "AXDecrement";
    return {};
}

} // namespace twk
