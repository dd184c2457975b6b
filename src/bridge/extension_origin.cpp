#include "bridge/extension_origin.h"

#include "common/log.h"

#include <algorithm>

namespace twk {
namespace {

constexpr std::string_view extensionScheme = "chrome-extension://";
// Refused origins are remembered only to keep the log quiet; a hostile page
// may make up many, so the memory is bounded.
constexpr size_t maxRememberedRefusals = 256;

bool isExtensionIdChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

} // namespace

ExtensionOriginPolicy::ExtensionOriginPolicy(std::vector<std::string> allowedIds)
    : allowedIds_(allowedIds.begin(), allowedIds.end())
{
}

bool ExtensionOriginPolicy::accepts(const std::string& origin) const
{
    if (!origin.starts_with(extensionScheme)) return false;
    std::string id = origin.substr(extensionScheme.size());
    if (!id.empty() && id.back() == '/') id.pop_back();
    if (id.empty() || !std::all_of(id.begin(), id.end(), isExtensionIdChar)) return false;
    return allowedIds_.empty() || allowedIds_.contains(id);
}

bool ExtensionOriginPolicy::admit(const std::string& origin)
{
    if (accepts(origin)) return true;
    if (refusedOrigins_.size() < maxRememberedRefusals && refusedOrigins_.insert(origin).second)
        logLine("[twk/chrome] refused a connection from " + (origin.empty() ? std::string("no origin") : origin));
    return false;
}

std::vector<std::string> ExtensionOriginPolicy::parseIds(const std::string& text)
{
    std::vector<std::string> ids;
    std::string current;
    for (const char c : text + ",") {
        if (c == ',' || c == ' ' || c == '\t' || c == '\n') {
            if (!current.empty()) ids.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    return ids;
}

} // namespace twk
