#include "skills/app_description.h"

#include "common/text_case.h"

#include <algorithm>
#include <functional>

namespace twk {
namespace {

// Bytes of multi-byte characters count as letters: words of any script.
bool isWordByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

std::vector<std::string> wordsOf(std::string_view text)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && !isWordByte(text[i])) ++i;
        const size_t start = i;
        while (i < text.size() && isWordByte(text[i])) ++i;
        if (i > start) words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

std::optional<InstalledApplication> firstWhere(const std::vector<InstalledApplication>& apps,
                                               const std::function<bool(const InstalledApplication&)>& matches)
{
    const auto it = std::find_if(apps.begin(), apps.end(), matches);
    if (it == apps.end()) return std::nullopt;
    return *it;
}

} // namespace

bool holdsWords(std::string_view text, std::string_view words)
{
    if (isBlank(words)) return false;
    const std::string haystack = lowercased(text), needle = lowercased(words);
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) {
        const size_t end = at + needle.size();
        const bool startsWord = at == 0 || !isWordByte(haystack[at - 1]) || !isWordByte(needle.front());
        const bool endsWord = end == haystack.size() || !isWordByte(haystack[end]) || !isWordByte(needle.back());
        if (startsWord && endsWord) return true;
    }
    return false;
}

std::optional<InstalledApplication> firstOfKind(const std::vector<InstalledApplication>& apps, std::string_view q)
{
    if (isBlank(q)) return std::nullopt;
    return firstWhere(apps, [&](const InstalledApplication& app) { return lowercased(app.genericName) == q; });
}

std::optional<InstalledApplication> firstDescribedAs(const std::vector<InstalledApplication>& apps, std::string_view q)
{
    const auto wanted = wordsOf(q);
    if (wanted.empty()) return std::nullopt;
    if (auto app = firstWhere(apps, [&](const InstalledApplication& a) { return holdsWords(a.genericName, q); }))
        return app;
    if (auto app = firstWhere(apps, [&](const InstalledApplication& a) {
            std::vector<std::string> keywords;
            for (const auto& keyword : a.keywords) keywords.push_back(lowercased(keyword));
            return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& word) {
                return std::find(keywords.begin(), keywords.end(), word) != keywords.end();
            });
        }))
        return app;
    return firstWhere(apps, [&](const InstalledApplication& a) { return holdsWords(a.summary, q); });
}

} // namespace twk
