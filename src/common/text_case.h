#pragma once

#include <string>
#include <string_view>

namespace twk {

/// `text` in lower case, letters of every script included ("ÜBER" → "über"),
/// independent of the user's locale. Bytes that are not UTF-8 stay as they are.
std::string lowercased(std::string_view text);

/// Whether `text` holds nothing but ASCII white space (or nothing at all).
bool isBlank(std::string_view text);

} // namespace twk
