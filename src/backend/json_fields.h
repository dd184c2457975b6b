#pragma once

// Strict reads of decoded JSON objects: a missing key, a null in a required
// key or a value of the wrong JSON type fails with a "twk.decode" error that
// names the key. Unknown keys are ignored.

#include "common/error.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace twk::json_fields {

/// Parses a response body; not JSON, or not an object, is a decoding error.
nlohmann::json parseObject(const std::string& body);

std::string requiredString(const nlohmann::json& object, const char* key);
double requiredNumber(const nlohmann::json& object, const char* key);
int64_t requiredInteger(const nlohmann::json& object, const char* key);
bool requiredBool(const nlohmann::json& object, const char* key);
const nlohmann::json& requiredArray(const nlohmann::json& object, const char* key);
const nlohmann::json& requiredValue(const nlohmann::json& object, const char* key);

/// Absent or null gives nullopt; any other wrong type still fails.
std::optional<std::string> optionalString(const nlohmann::json& object, const char* key);
std::optional<double> optionalNumber(const nlohmann::json& object, const char* key);

} // namespace twk::json_fields
