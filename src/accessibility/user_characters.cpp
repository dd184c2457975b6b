#include "accessibility/user_characters.h"

#include "common/utf8.h"

namespace twk {
namespace {

bool isExtender(char32_t c)
{
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x0483 && c <= 0x0489) || (c >= 0x0591 && c <= 0x05BD) ||
           (c >= 0x0610 && c <= 0x061A) || (c >= 0x064B && c <= 0x065F) || (c >= 0x0E31 && c <= 0x0E3A && c != 0x0E32 && c != 0x0E33) ||
           (c >= 0x0E47 && c <= 0x0E4E) || (c >= 0x093A && c <= 0x094F && c != 0x093D) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) || (c >= 0x3099 && c <= 0x309A) ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) || (c >= 0x1F3FB && c <= 0x1F3FF) ||
           (c >= 0xE0020 && c <= 0xE007F) || (c >= 0xE0100 && c <= 0xE01EF) || c == 0x200C;
}

bool isRegionalIndicator(char32_t c) { return c >= 0x1F1E6 && c <= 0x1F1FF; }

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::u32string codePoints(std::string_view text)
{
    const std::string valid = withValidUtf8(text);
    std::u32string out;
    for (size_t i = 0; i < valid.size();) {
        const auto b = static_cast<unsigned char>(valid[i]);
        const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3F);
        out += c;
        i += 1 + extra;
    }
    return out;
}

std::vector<std::string> userCharacters(std::string_view text)
{
    const std::u32string cps = codePoints(text);
    std::vector<std::string> out;
    for (size_t i = 0; i < cps.size();) {
        std::string one;
        appendUtf8(one, cps[i]);
        size_t j = i + 1;
        if (cps[i] == U'\r' && j < cps.size() && cps[j] == U'\n') {
            appendUtf8(one, cps[j++]);
        } else if (isRegionalIndicator(cps[i]) && j < cps.size() && isRegionalIndicator(cps[j])) {
            appendUtf8(one, cps[j++]);
        } else if (cps[i] != U'\r' && cps[i] != U'\n') {
            while (j < cps.size()) {
                if (isExtender(cps[j])) {
                    appendUtf8(one, cps[j++]);
                } else if (cps[j] == 0x200D && j + 1 < cps.size()) {
                    appendUtf8(one, cps[j++]);
                    appendUtf8(one, cps[j++]);
                } else {
                    break;
                }
            }
        }
        out.push_back(std::move(one));
        i = j;
    }
    return out;
}

} // namespace twk
