#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace twk {

/// The parts of an absolute URL ("scheme:[//authority]path[?query][#fragment]"),
/// with host and path percent-decoded the way the platform URL types report them.
struct Url {
    std::string scheme;
    std::string host;
    std::string path;
    std::string query;
    std::string fragment;
};

/// Parses an absolute URL; nullopt when the text has no valid scheme or
/// holds spaces or control characters.
std::optional<Url> parseUrl(std::string_view text);

std::string percentDecode(std::string_view text);

/// Percent-encodes every byte except the unreserved characters
/// (letters, digits, "-", ".", "_", "~"), for a query value or path segment.
std::string percentEncode(std::string_view text);
/// The same, also keeping the characters of `alsoKept` as they are.
std::string percentEncode(std::string_view text, std::string_view alsoKept);

/// The "file://" URL of an absolute path, each segment percent-encoded.
std::string fileUrl(std::string_view absolutePath);

} // namespace twk
