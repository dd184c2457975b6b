#pragma once

// The JSON texts tools answer with.

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace twk {

/// {"ok":true,"message":message}
std::string okJSON(const std::string& message);
/// {"ok":false,"error":error}
std::string errJSON(const std::string& error);

/// `value` as compact JSON text, keys in the order given; `fallback` if it cannot be written. Bytes
/// that are not UTF-8 become U+FFFD rather than costing the whole text.
std::string compactJSON(const nlohmann::ordered_json& value, std::string_view fallback);

} // namespace twk
