#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace twk {

/// `text` (UTF-8) split into user-perceived characters: a base with the
/// combining marks, variation selectors and emoji modifiers that follow it,
/// emoji joined by zero-width joiners, regional-indicator pairs (flags) and
/// CR LF each stay one character. Bytes that are not UTF-8 become U+FFFD.
std::vector<std::string> userCharacters(std::string_view text);

/// The code points of one UTF-8 text (invalid bytes as U+FFFD).
std::u32string codePoints(std::string_view text);

} // namespace twk
