#include "common/url.h"
#include "skills/skill_text.h"
#include "skills/skills.h"

namespace twk {
namespace {

constexpr const char* searchBase = "https://www.google.com/search?q=";

} // namespace

std::string Skills::openURL(const std::string& raw)
{
    std::string text = trimmed(raw);
    if (text.find("://") == std::string::npos) text = "https://" + text;
    const auto url = parseUrl(text);
    // A web address without a host would only open an empty browser tab.
    if (!url || ((url->scheme == "http" || url->scheme == "https") && url->host.empty()))
        return err("invalid url: " + text);
    if (!s_.workspace.openURL(text)) return err("could not open " + text);
    return ok("opened " + text);
}

std::string Skills::searchWeb(const std::string& query)
{
    const std::string text = trimmed(query);
    if (text.empty()) return err("empty query");
    // Every reserved character is encoded: "AT&T" must not end the query at "&".
    return openURL(searchBase + percentEncode(text));
}

} // namespace twk
