#include "accessibility/character_prefix.h"

namespace twk {
namespace {

/// Decodes the code point at `i`; sets `length` to its byte count (1 for a
/// byte that starts no well-formed sequence).
char32_t decodeAt(std::string_view text, std::size_t i, std::size_t& length)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    length = 1;
    if (lead < 0x80) return lead;
    std::size_t need = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) need = 1, cp = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0) need = 2, cp = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0) need = 3, cp = lead & 0x07;
    else return 0xFFFD;
    for (std::size_t k = 1; k <= need; ++k) {
        if (i + k >= text.size()) return 0xFFFD;
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (next & 0x3F);
    }
    length = need + 1;
    return cp;
}

bool extendsPrevious(char32_t cp)
{
    return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) || (cp >= 0x1DC0 && cp <= 0x1DFF) ||
           (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xFE20 && cp <= 0xFE2F) ||
           (cp >= 0x1F3FB && cp <= 0x1F3FF) || (cp >= 0xE0100 && cp <= 0xE01EF) || (cp >= 0xE0020 && cp <= 0xE007F) ||
           cp == 0x200D;
}

} // namespace

std::string characterPrefix(std::string_view text, std::size_t count)
{
    std::size_t i = 0;
    std::size_t characters = 0;
    bool joinNext = false;
    while (i < text.size()) {
        std::size_t length = 1;
        const char32_t cp = decodeAt(text, i, length);
        const bool starts = !(characters > 0 && (extendsPrevious(cp) || joinNext));
        if (starts) {
            if (characters == count) break;
            ++characters;
        }
        joinNext = cp == 0x200D;
        i += length;
    }
    return std::string(text.substr(0, i));
}

} // namespace twk
