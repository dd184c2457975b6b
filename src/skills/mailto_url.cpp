#include "skills/mailto_url.h"

#include "common/url.h"

namespace twk {
namespace {

/// Characters of e-mail addresses and address lists that stay readable.
constexpr std::string_view addressCharacters = "@,+:";

} // namespace

std::string mailtoUrl(const std::string& to, const std::optional<std::string>& subject,
                      const std::optional<std::string>& body)
{
    std::string url = "mailto:" + percentEncode(to, addressCharacters);
    char separator = '?';
    for (const auto& [name, value] : {std::pair{"subject", &subject}, std::pair{"body", &body}}) {
        if (!*value || (*value)->empty()) continue;
        url += separator;
        url += name;
        url += '=';
        url += percentEncode(**value);
        separator = '&';
    }
    return url;
}

} // namespace twk
