#include "skills/skill_text.h"

#include "common/utf8.h"

namespace twk {

std::string trimmed(std::string_view text)
{
    constexpr std::string_view space = " \t\n\r\v\f";
    const auto first = text.find_first_not_of(space);
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(space) - first + 1));
}

std::string leadingCharacters(std::string_view text, std::size_t count)
{
    const std::string valid = withValidUtf8(text);
    std::size_t characters = 0;
    for (std::size_t i = 0; i < valid.size(); ++i) {
        // Each character starts at a byte that is not a continuation byte.
        if ((static_cast<unsigned char>(valid[i]) & 0xC0) != 0x80 && characters++ == count) return valid.substr(0, i);
    }
    return valid;
}

} // namespace twk
