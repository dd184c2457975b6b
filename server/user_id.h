#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace twk::server {

/// An installation identifier in its canonical form (a hyphenated UUID in
/// lower case), or nullopt when `text` is not one.
std::optional<std::string> canonicalUserId(std::string_view text);

/// The first characters of an identifier, enough to tell installations apart in the log.
inline std::string shortId(const std::string& userId) { return userId.substr(0, 8); }

} // namespace twk::server
