#include "http_request.h"

#include <algorithm>
#include <cctype>

namespace twk::server {
namespace {

bool isTokenChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), isTokenChar); }

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

HeadParse invalid(int status, std::string error)
{
    HeadParse p;
    p.outcome = HeadParse::Outcome::invalid;
    p.status = status;
    p.error = std::move(error);
    return p;
}

/// Offset just past the blank line that ends the head, if it has arrived.
std::optional<size_t> headEnd(std::string_view bytes, size_t from)
{
    for (size_t i = bytes.find('\n', from); i != std::string_view::npos; i = bytes.find('\n', i + 1)) {
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n') return i + 2;
        if (i + 2 < bytes.size() && bytes[i + 1] == '\r' && bytes[i + 2] == '\n') return i + 3;
    }
    return std::nullopt;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecode(std::string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out.push_back(s[i]);
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        const int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

} // namespace

std::optional<std::string> HttpRequest::header(std::string_view name) const
{
    for (const auto& [k, v] : headers)
        if (k == name) return v;
    return std::nullopt;
}

bool HttpRequest::headerHasToken(std::string_view name, std::string_view token) const
{
    const std::string wanted = lower(token);
    for (const auto& [k, v] : headers) {
        if (k != name) continue;
        std::string_view rest(v);
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            if (lower(trim(rest.substr(0, comma))) == wanted) return true;
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    return false;
}

HeadParse parseRequestHead(std::string_view bytes, const HttpLimits& limits)
{
    // Stray line breaks between requests are tolerated.
    size_t start = 0;
    while (start < bytes.size() && (bytes[start] == '\r' || bytes[start] == '\n')) ++start;
    const auto end = headEnd(bytes, start);
    const std::string tooLarge = "request head larger than " + std::to_string(limits.maxHeadBytes) + " bytes";
    if (!end) return bytes.size() > limits.maxHeadBytes ? invalid(431, tooLarge) : HeadParse{};
    if (*end > limits.maxHeadBytes) return invalid(431, tooLarge);

    std::string_view rest = bytes.substr(start, *end - start);
    const auto nextLine = [&rest] {
        const size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest.remove_prefix(nl + 1); // every line of the head ends with one
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line;
    };

    HeadParse p;
    HttpRequest& r = p.request;
    const std::string_view requestLine = nextLine();
    const size_t sp1 = requestLine.find(' ');
    const size_t sp2 = sp1 == std::string_view::npos ? sp1 : requestLine.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || requestLine.find(' ', sp2 + 1) != std::string_view::npos)
        return invalid(400, "malformed request line");
    const std::string_view method = requestLine.substr(0, sp1);
    const std::string_view target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = requestLine.substr(sp2 + 1);
    if (!isToken(method)) return invalid(400, "malformed method");
    if (target.empty() || target.front() != '/') return invalid(400, "the request target must be a path");
    for (const char c : target)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return invalid(400, "malformed request target");
    if (version == "HTTP/1.1")
        r.minorVersion = 1;
    else if (version == "HTTP/1.0")
        r.minorVersion = 0;
    else if (version.starts_with("HTTP/"))
        return invalid(505, "only HTTP/1.0 and HTTP/1.1 are served");
    else
        return invalid(400, "malformed request line");
    r.method = method;
    r.target = target;
    const size_t q = target.find('?');
    r.path = target.substr(0, q);
    if (q != std::string_view::npos) r.query = target.substr(q + 1);

    for (std::string_view line = nextLine(); !line.empty(); line = nextLine()) {
        if (line.front() == ' ' || line.front() == '\t') return invalid(400, "folded header lines are not accepted");
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) return invalid(400, "malformed header line");
        const std::string_view value = trim(line.substr(colon + 1));
        for (const char c : value)
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) return invalid(400, "control character in a header");
        r.headers.emplace_back(lower(line.substr(0, colon)), std::string(value));
    }

    std::optional<std::string> length;
    for (const auto& [k, v] : r.headers) {
        if (k != "content-length") continue;
        if (length && *length != v) return invalid(400, "conflicting Content-Length headers");
        length = v;
    }
    if (r.header("transfer-encoding")) return invalid(411, "send the body with a Content-Length, not a transfer coding");
    if (length) {
        if (length->empty() || !std::all_of(length->begin(), length->end(), [](unsigned char c) { return std::isdigit(c); }))
            return invalid(400, "malformed Content-Length");
        const std::string digits = length->substr(std::min(length->find_first_not_of('0'), length->size()));
        const size_t limit = limits.bodyLimit(r.path);
        if (digits.size() > 12 || (!digits.empty() && std::stoull(digits) > limit))
            return invalid(413, "request body larger than " + std::to_string(limit) + " bytes");
        p.contentLength = digits.empty() ? 0 : std::stoull(digits);
    }
    if (const auto expect = r.header("expect")) {
        if (lower(*expect) != "100-continue") return invalid(417, "unsupported expectation");
        p.expectsContinue = true;
    }
    r.keepAlive = r.minorVersion == 1 ? !r.headerHasToken("connection", "close") : r.headerHasToken("connection", "keep-alive");
    p.outcome = HeadParse::Outcome::complete;
    p.headLength = *end;
    return p;
}

std::optional<std::vector<std::pair<std::string, std::string>>> parseQuery(std::string_view query)
{
    std::vector<std::pair<std::string, std::string>> items;
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
        if (item.empty()) continue;
        const size_t eq = item.find('=');
        auto key = percentDecode(item.substr(0, eq));
        auto value = percentDecode(eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1));
        if (!key || !value) return std::nullopt;
        items.emplace_back(std::move(*key), std::move(*value));
    }
    return items;
}

} // namespace twk::server
