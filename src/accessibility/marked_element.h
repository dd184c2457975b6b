#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace twk {

/// One numbered interactive element of the frontmost window.
struct MarkedElement {
    int id = 0;
    /// "AXButton", ...; "?" when the element has no role.
    std::string role;
    /// At most 80 characters; empty when the element has none.
    std::string label;
    std::optional<std::string> value;
    /// Global screen frame, top-left origin, truncated toward zero.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::optional<bool> enabled;
    std::optional<bool> selected;
    std::optional<bool> focused;
    std::optional<std::vector<std::string>> actions;
};

/// Keys in field order; absent optionals are left out.
nlohmann::ordered_json toJson(const MarkedElement& mark);
/// Nothing when a required key is missing or of the wrong kind.
std::optional<MarkedElement> markedElementFromJson(const nlohmann::json& json);

} // namespace twk
