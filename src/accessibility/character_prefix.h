#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace twk {

/// The first `count` user-perceived characters of `text`: a base character
/// keeps its combining marks, variation selectors and zero-width-joined
/// followers. A byte that is not UTF-8 counts as one character of its own.
std::string characterPrefix(std::string_view text, std::size_t count);

} // namespace twk
