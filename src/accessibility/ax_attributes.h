#pragma once

// Typed reads of accessibility attributes. None fails: a missing, unreadable
// or differently typed value gives the reader's "nothing".

#include "platform/accessibility.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twk {

struct AXRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

/// A string as is; a number as its decimal text (integral numbers without a
/// fraction).
std::optional<std::string> stringAttr(Accessibility& ax, const AXElementRef& element, std::string_view name);
/// A boolean as is; a number is true when non-zero.
std::optional<bool> boolAttr(Accessibility& ax, const AXElementRef& element, std::string_view name);
/// A number, whatever its fraction.
std::optional<double> numberAttr(Accessibility& ax, const AXElementRef& element, std::string_view name);
/// A single element.
AXElementRef elementAttr(Accessibility& ax, const AXElementRef& element, std::string_view name);
/// "AXChildren"; empty when unreadable.
std::vector<AXElementRef> children(Accessibility& ax, const AXElementRef& element);
/// "AXPosition" and "AXSize", both readable and of their own kinds.
std::optional<AXRect> axFrame(Accessibility& ax, const AXElementRef& element);

/// A number's text as the attribute readers write it: 3 → "3", 0.5 → "0.5".
std::string numberText(double number);

} // namespace twk
