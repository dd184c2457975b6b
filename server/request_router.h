#pragma once

#include "http_request.h"
#include "http_response.h"
#include "live_sessions.h"
#include "rate_limiter.h"
#include "usage_service.h"

#include <string>
#include <vector>

namespace twk::server {

/// The HTTP API: checks each request, applies it to the usage service and
/// answers in the backend's JSON shapes. A refused request changes nothing.
class RequestRouter {
public:
    struct Routed {
        HttpResponse response;  // when not upgrading
        bool upgrade = false;   // an authorised realtime WebSocket request: hand the socket over
        RealtimeGrant grant = {}; // when upgrading: whose session it is
    };

    struct Settings {
        std::vector<std::string> allowedHosts; // Host names served besides localhost and IP literals
    };

    RequestRouter(UsageService& usage, const LiveSessions& sessions, Settings settings = {});

    /// Credentials per installation and per client address: a burst, then a steady rate.
    static constexpr double mintBurstPerUser = 10, mintsPerSecondPerUser = 1.0 / 6;
    static constexpr double mintBurstPerPeer = 60, mintsPerSecondPerPeer = 1;

    Routed route(const HttpRequest& request);

    static constexpr const char* realtimePath = "/v1/realtime";

private:
    HttpResponse mint(const HttpRequest& request);
    HttpResponse status(const HttpRequest& request);
    HttpResponse track(const HttpRequest& request);
    Routed realtime(const HttpRequest& request);

    UsageService& usage_;
    const LiveSessions& sessions_;
    Settings settings_;
    RateLimiter mintsByUser_{mintBurstPerUser, mintsPerSecondPerUser};
    RateLimiter mintsByPeer_{mintBurstPerPeer, mintsPerSecondPerPeer};
};

} // namespace twk::server
