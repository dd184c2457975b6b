#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace twk {

/// `text` without white space and line breaks at either end.
std::string trimmed(std::string_view text);

/// The first `count` characters of `text` (code points, so that no character
/// is cut in half), with any bytes that are not UTF-8 replaced.
std::string leadingCharacters(std::string_view text, std::size_t count);

} // namespace twk
