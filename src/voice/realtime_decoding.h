#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace twk::realtime {

/// `object[key]` when `object` is an object and the value a string, else null.
const std::string* stringField(const nlohmann::json& object, const char* key);

/// The audio summary logged when the assistant's audio for a response ends.
std::string audioDoneLine(std::int64_t deltas, std::int64_t bytes);

/// The summary logged on "response.done"; every missing part has its default.
std::string responseDoneLine(const nlohmann::json& message, std::int64_t deltas, std::int64_t bytes);

struct ServerError {
    std::string message;
    std::string code;
};

ServerError serverError(const nlohmann::json& message);

/// Errors that only mean a cancel or create request crossed the server
/// finishing a response on its own.
bool isBenign(const ServerError& error);

} // namespace twk::realtime
