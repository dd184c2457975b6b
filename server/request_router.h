#pragma once

#include "http_request.h"
#include "http_response.h"
#include "usage_service.h"

#include <string>

namespace twk::server {

/// The HTTP API: checks each request, applies it to the usage service and
/// answers in the backend's JSON shapes. A refused request changes nothing.
class RequestRouter {
public:
    struct Routed {
        HttpResponse response;  // when not upgrading
        bool upgrade = false;   // an authorised realtime WebSocket request: hand the socket over
    };

    explicit RequestRouter(UsageService& usage);

    Routed route(const HttpRequest& request);

    static constexpr const char* realtimePath = "/v1/realtime";

private:
    HttpResponse mint(const HttpRequest& request);
    HttpResponse status(const HttpRequest& request);
    HttpResponse track(const HttpRequest& request);
    Routed realtime(const HttpRequest& request);

    UsageService& usage_;
};

} // namespace twk::server
