#pragma once

#include "form_token.h"
#include "http_request.h"
#include "http_response.h"
#include "usage_service.h"

#include <string>
#include <string_view>
#include <vector>

namespace twk::server {

/// The account page an installation's panel links to: GET /dashboard?uuid=…
/// shows its usage and label; forms POST to /dashboard/link and
/// /dashboard/unlink, then come back to the page. Answers are HTML.
class DashboardEndpoint {
public:
    struct Settings {
        std::vector<std::string> allowedHosts;
        std::vector<std::string> allowedUsers; // empty: any
        std::string service; // the voice service and model, in words
    };

    DashboardEndpoint(UsageService& usage, const FormTokens& tokens, Settings settings);

    static bool serves(std::string_view path);
    HttpResponse handle(const HttpRequest& request);

    static constexpr int chartDays = 30;

private:
    HttpResponse show(const HttpRequest& request);
    HttpResponse change(const HttpRequest& request);
    HttpResponse page(int status, const std::string& userId, const UsageStatus& usage, std::string notice, bool problem,
                      bool offerRefresh);

    UsageService& usage_;
    const FormTokens& tokens_;
    Settings settings_;
};

/// An HTML answer with the headers that keep the page to itself (no
/// framing, no scripts, no referrer to other sites).
HttpResponse htmlResponse(int status, std::string body);

} // namespace twk::server
