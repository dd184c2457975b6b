#pragma once

// The text a language model reads of the frontmost window: its numbered
// elements and its menu bar.

#include "accessibility/element_marker.h"
#include "accessibility/menu_reader.h"

#include <optional>
#include <string>

namespace twk {

/// One element's line, without the leading spaces: [3] checkbox "Wi-Fi" ...
std::string markLine(const MarkedElement& mark);
/// The whole snapshot; lines joined by line feeds, none at the end.
std::string renderSnapshot(const std::optional<WindowMarks>& window, const std::optional<AppMenus>& menus);

} // namespace twk
