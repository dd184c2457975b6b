#include "skills/phone_number.h"

#include <algorithm>

namespace twk {

std::optional<std::string> dialableNumber(std::string_view text)
{
    constexpr std::string_view separators = " -().\t";
    std::string out;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            out.push_back(c);
        } else if (c == '+' && out.empty()) {
            out.push_back(c);
        } else if (separators.find(c) == std::string_view::npos) {
            return std::nullopt;
        }
    }
    if (std::count_if(out.begin(), out.end(), [](char c) { return c != '+'; }) < 3) return std::nullopt;
    return out;
}

} // namespace twk
