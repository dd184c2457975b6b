#include "user_id.h"

#include <cctype>

namespace twk::server {

std::optional<std::string> canonicalUserId(std::string_view text)
{
    if (text.size() != 36) return std::nullopt;
    std::string id(text);
    for (size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool ok = dash ? id[i] == '-' : std::isxdigit(static_cast<unsigned char>(id[i])) != 0;
        if (!ok) return std::nullopt;
        id[i] = char(std::tolower(static_cast<unsigned char>(id[i])));
    }
    return id;
}

} // namespace twk::server
