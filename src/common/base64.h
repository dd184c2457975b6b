#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace twk {

/// Standard Base64 (RFC 4648 alphabet, with padding).
std::string base64Encode(std::span<const std::uint8_t> bytes);

/// Strict decoding of standard Base64: the length is a multiple of four,
/// only the standard alphabet, padding only at the end. Anything else,
/// whitespace included, is refused.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text);

/// The same strict decoding straight into `out`, sized once to the exact
/// length; for hot paths. On refusal returns false and `out` is unspecified.
bool base64DecodeInto(std::string_view text, std::vector<std::uint8_t>& out);

} // namespace twk
