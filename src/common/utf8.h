#pragma once

#include <string>
#include <string_view>

namespace twk {

bool isValidUtf8(std::string_view text);

/// The text itself when it is valid UTF-8, else "" (how error bodies are shown).
inline std::string utf8OrEmpty(std::string_view text)
{
    return isValidUtf8(text) ? std::string(text) : std::string();
}

/// `text` with every byte that does not belong to a well-formed UTF-8
/// sequence replaced by U+FFFD, so that it can go into JSON. Text from the
/// system (account names, host names) carries no promise of an encoding.
std::string withValidUtf8(std::string_view text);

} // namespace twk
