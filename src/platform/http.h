#pragma once

#include "common/expected.h"
#include "common/main_loop.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace twk {

struct HttpRequest {
    std::string method; // "GET", "POST"
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<std::string> body;
    Duration timeout{};
};

struct HttpResponse {
    /// Nullopt when the answer was not an HTTP response at all.
    std::optional<int> status;
    std::string body;
};

/// One HTTP(S) request at a time per call, any number in flight. `done` is
/// called exactly once, on the client's own network thread, with the response
/// (any status) or the transport failure (domain "twk.network": no route,
/// refused, timed out, TLS failure, ...). No cookies or credentials are added.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual void send(HttpRequest request, std::function<void(Expected<HttpResponse>)> done) = 0;
};

} // namespace twk
