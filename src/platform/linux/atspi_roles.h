#pragma once

// How AT-SPI roles and actions read in the AX model the core speaks (the
// table is in platform/accessibility.h).

#include <atspi/atspi.h>

#include <optional>
#include <string>

namespace twk {

/// The AX role; `parent` only matters for menus and menu items, `multiLine`
/// and `editable` only for text and combo boxes.
std::string axRole(AtspiRole role, std::optional<AtspiRole> parent, bool multiLine, bool editable);
bool needsParentRole(AtspiRole role);
bool needsStates(AtspiRole role);
/// A menu that is itself an item of a bar or menu (GTK's titles and submenus).
bool menuActsAsItem(AtspiRole role, std::optional<AtspiRole> parent);
bool isMenuItem(AtspiRole role);
/// Roles whose value is their checked state.
bool isCheckable(AtspiRole role);
/// Roles whose value is a number (slider, spin button, ...).
bool hasNumericValue(AtspiRole role);
/// Roles whose value is their text.
bool isTextEntry(AtspiRole role);
/// Roles a search for the menu bar does not descend into.
bool isLeafForSearch(AtspiRole role);
/// "AXPress", "AXShowMenu", ... for an AT-SPI action name; "" for the rest.
std::string axActionName(const std::string& atspiName);

} // namespace twk
