#include "accessibility/ax_attributes.h"

#include <cmath>
#include <cstdio>

namespace twk {

std::string numberText(double number)
{
    if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 1e15)
        return std::to_string(static_cast<long long>(number));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", number);
    return buffer;
}

std::optional<std::string> stringAttr(Accessibility& ax, const AXElementRef& element, std::string_view name)
{
    const auto value = ax.attribute(element, name);
    if (!value) return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&*value)) return *text;
    if (const auto* number = std::get_if<double>(&*value)) return numberText(*number);
    return std::nullopt;
}

std::optional<bool> boolAttr(Accessibility& ax, const AXElementRef& element, std::string_view name)
{
    const auto value = ax.attribute(element, name);
    if (!value) return std::nullopt;
    if (const auto* flag = std::get_if<bool>(&*value)) return *flag;
    if (const auto* number = std::get_if<double>(&*value)) return *number != 0;
    return std::nullopt;
}

std::optional<double> numberAttr(Accessibility& ax, const AXElementRef& element, std::string_view name)
{
    const auto value = ax.attribute(element, name);
    if (!value) return std::nullopt;
    if (const auto* number = std::get_if<double>(&*value)) return *number;
    return std::nullopt;
}

AXElementRef elementAttr(Accessibility& ax, const AXElementRef& element, std::string_view name)
{
    auto value = ax.attribute(element, name);
    if (!value) return nullptr;
    if (auto* found = std::get_if<AXElementRef>(&*value)) return std::move(*found);
    return nullptr;
}

std::vector<AXElementRef> children(Accessibility& ax, const AXElementRef& element)
{
    auto value = ax.attribute(element, "AXChildren");
    if (!value) return {};
    if (auto* list = std::get_if<std::vector<AXElementRef>>(&*value)) return std::move(*list);
    return {};
}

std::optional<AXRect> axFrame(Accessibility& ax, const AXElementRef& element)
{
    const auto position = ax.attribute(element, "AXPosition");
    if (!position) return std::nullopt;
    const auto size = ax.attribute(element, "AXSize");
    if (!size) return std::nullopt;
    const auto* point = std::get_if<AXPoint>(&*position);
    const auto* extent = std::get_if<AXSize>(&*size);
    if (point == nullptr || extent == nullptr) return std::nullopt;
    return AXRect{point->x, point->y, extent->width, extent->height};
}

} // namespace twk
