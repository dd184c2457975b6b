#pragma once

#include <nlohmann/json.hpp>

namespace twk {

/// A decoded JSON value of any kind, with the kinds told apart the way tool
/// inputs need them: boolean, then 64-bit integer (a number with no fraction
/// that fits, 2.0 included), then double, string, array, object, and null.
struct AnyDecodable {
    nlohmann::json value;

    /// Normalises `json` recursively into those kinds.
    static AnyDecodable decode(const nlohmann::json& json);
};

} // namespace twk
