#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace twk {

/// The dialable form of a spoken or written phone number ("+1 (555)
/// 010-0199" gives "+15550100199"): digits with at most one leading "+".
/// Nothing for anything else (a name, letters, a second "+", fewer than
/// three digits).
std::optional<std::string> dialableNumber(std::string_view text);

} // namespace twk
