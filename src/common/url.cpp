#include "common/url.h"

#include <cctype>

namespace twk {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool validScheme(std::string_view s)
{
    if (s.empty() || std::isalpha(static_cast<unsigned char>(s[0])) == 0) return false;
    for (char c : s)
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '+' && c != '-' && c != '.') return false;
    return true;
}

} // namespace

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string percentEncode(std::string_view text) { return percentEncode(text, {}); }

std::string percentEncode(std::string_view text, std::string_view alsoKept)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved || alsoKept.find(c) != std::string_view::npos) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 15]);
        }
    }
    return out;
}

std::optional<Url> parseUrl(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return std::nullopt;

    const auto colon = text.find(':');
    if (colon == std::string_view::npos || !validScheme(text.substr(0, colon))) return std::nullopt;

    Url url;
    url.scheme = std::string(text.substr(0, colon));
    std::string_view rest = text.substr(colon + 1);

    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        url.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (const auto q = rest.find('?'); q != std::string_view::npos) {
        url.query = std::string(rest.substr(q + 1));
        rest = rest.substr(0, q);
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
        if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
        if (authority.starts_with('[')) {
            const auto close = authority.find(']');
            if (close == std::string_view::npos) return std::nullopt;
            authority = authority.substr(1, close - 1);
        } else if (const auto port = authority.rfind(':'); port != std::string_view::npos) {
            authority = authority.substr(0, port);
        }
        url.host = percentDecode(authority);
    }
    url.path = percentDecode(rest);
    return url;
}

std::string fileUrl(std::string_view absolutePath)
{
    std::string url = "file://";
    size_t start = 0;
    while (start <= absolutePath.size()) {
        const size_t slash = absolutePath.find('/', start);
        const size_t end = slash == std::string_view::npos ? absolutePath.size() : slash;
        url += percentEncode(absolutePath.substr(start, end - start));
        if (slash == std::string_view::npos) break;
        url += '/';
        start = slash + 1;
    }
    return url;
}

} // namespace twk
