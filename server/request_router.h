#pragma once

#include "dashboard_endpoint.h"
#include "agent_endpoint.h"
#include "http_request.h"
#include "provider_client.h"
#include "http_response.h"
#include "live_sessions.h"
#include "rate_limiter.h"
#include "usage_service.h"

#include <functional>
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
        /// When set, the answer comes later: call it with what to do with the answer.
        std::function<void(std::function<void(const HttpResponse&)>)> deferred = {};
    };

    struct Settings {
        std::vector<std::string> allowedHosts; // Host names served besides localhost and IP literals
        std::vector<std::string> allowedUsers; // installation ids served; empty: any
    };

    /// With a `provider`, credentials are minted there (the local plan and quota still apply).
    /// With a `dashboard`, the account page is served too.
    RequestRouter(UsageService& usage, const LiveSessions& sessions, Settings settings = {}, ProviderClient* provider = nullptr,
                  DashboardEndpoint* dashboard = nullptr);

    /// Credentials per installation and per client address: a burst, then a steady rate.
    static constexpr double mintBurstPerUser = 10, mintsPerSecondPerUser = 1.0 / 6;
    static constexpr double mintBurstPerPeer = 60, mintsPerSecondPerPeer = 1;

    Routed route(const HttpRequest& request);
    /// Where agent rounds go; without one they are answered 501.
    void setAgentEndpoint(AgentEndpoint* agent) { agent_ = agent; }

    static constexpr const char* realtimePath = "/v1/realtime";

private:
    HttpResponse mint(const HttpRequest& request);
    Routed mintUpstream(const HttpRequest& request);
    /// The refusal of a credential before any is made (rate, quota), if any.
    std::optional<HttpResponse> mintRefusal(const std::string& userId, const std::string& peer);
    std::string allowedUser(const HttpRequest& request, std::string userId) const;
    HttpResponse status(const HttpRequest& request);
    HttpResponse track(const HttpRequest& request);
    Routed realtime(const HttpRequest& request);
    Routed agent(const HttpRequest& request);
    /// The answer to a browser extension's CORS preflight of an agent request.
    static HttpResponse preflight();
    /// Lets the extension at `origin` read the answer, now or later.
    static void allowOrigin(Routed& routed, const std::string& origin);

    UsageService& usage_;
    const LiveSessions& sessions_;
    Settings settings_;
    ProviderClient* provider_;
    DashboardEndpoint* dashboard_;
    AgentEndpoint* agent_ = nullptr;
    RateLimiter mintsByUser_{mintBurstPerUser, mintsPerSecondPerUser};
    RateLimiter mintsByPeer_{mintBurstPerPeer, mintsPerSecondPerPeer};
};

} // namespace twk::server
