#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace twk::server {

/// One HTTP/1.x request as received.
struct HttpRequest {
    std::string method;
    std::string target; // as sent: path and query
    std::string path;   // the target before '?', not decoded
    std::string query;  // the target after '?', not decoded
    int minorVersion = 1;
    std::vector<std::pair<std::string, std::string>> headers; // names lower-cased, values trimmed
    std::string body;
    bool keepAlive = true;
    std::string peer; // the client's address

    /// The first header of that name (given in lower case).
    std::optional<std::string> header(std::string_view name) const;
    /// Whether a comma-separated header holds `token` (case-insensitive).
    bool headerHasToken(std::string_view name, std::string_view token) const;
};

struct HttpLimits {
    size_t maxHeadBytes = 16 * 1024;
    size_t maxBodyBytes = 1024 * 1024;
    size_t maxAgentBodyBytes = 8 * 1024 * 1024; // agent rounds may carry a screenshot
    size_t bodyLimit(std::string_view path) const { return path.starts_with("/api/agent/") ? maxAgentBodyBytes : maxBodyBytes; }
};

/// What the bytes received so far on a connection amount to.
struct HeadParse {
    enum class Outcome { incomplete, complete, invalid };
    Outcome outcome = Outcome::incomplete;
    HttpRequest request;      // complete: all but the body
    size_t headLength = 0;    // complete: bytes up to and including the blank line
    size_t contentLength = 0; // complete: body bytes that follow the head
    bool expectsContinue = false;
    int status = 0;    // invalid: the status to answer with
    std::string error; // invalid: why, for the client
};

/// Parses the head of the request at the start of `bytes`. Bodies are only
/// accepted with a Content-Length; anything over `limits` is refused.
HeadParse parseRequestHead(std::string_view bytes, const HttpLimits& limits);

/// Query parameters in order, percent-decoded; nullopt when an escape is malformed.
std::optional<std::vector<std::pair<std::string, std::string>>> parseQuery(std::string_view query);

} // namespace twk::server
