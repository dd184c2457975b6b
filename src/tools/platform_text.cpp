#include "tools/platform_text.h"

#include "platform/platform_words.h"

#include <array>
#include <utility>

namespace twk {

std::string withPlatformWords(std::string_view text)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 2> words{{
        {"{system}", platform_words::system},
        {"{machine}", platform_words::machine},
    }};
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (const auto& [token, word] : words) {
            if (text.compare(i, token.size(), token) == 0) {
                out += word;
                i += token.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

} // namespace twk
