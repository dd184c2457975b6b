#include "request_router.h"

#include "common/error.h"
#include "common/log.h"
#include "json_input.h"
#include "site_guard.h"
#include "user_id.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace twk::server {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

/// A refusal on the way through a handler: answered as {"error": message}.
struct Refusal {
    int status;
    std::string message;
};

constexpr double maxReportSeconds = 31.0 * 24 * 3600; // one connection cannot outlast a month
constexpr int64_t maxTokenCount = 1'000'000'000'000;
constexpr size_t maxTokenKinds = 64;

json objectBody(const HttpRequest& request)
{
    JsonInput input = parseJsonInput(request.body);
    if (!input.ok()) throw Refusal{400, "the body is " + input.error};
    json& body = input.value;
    if (!body.is_object()) throw Refusal{400, "the body must be a JSON object"};
    return std::move(body);
}

/// Installation identifiers are UUIDs; kept in lower case.
std::string checkedUserId(const json* value)
{
    if (value == nullptr || value->is_null()) throw Refusal{400, "userId is missing"};
    if (!value->is_string()) throw Refusal{400, "userId must be a string"};
    auto id = canonicalUserId(value->get<std::string>());
    if (!id) throw Refusal{400, "userId must be a UUID"};
    return *id;
}

const json* member(const json& object, const char* key)
{
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

ordered_json statusJson(const UsageStatus& s)
{
    ordered_json j;
    j["plan"] = s.plan;
    j["quotaSeconds"] = s.quotaSeconds;
    j["usedSeconds"] = s.usedSeconds;
    j["remainingSeconds"] = s.remainingSeconds;
    j["resetAt"] = s.resetAtMs;
    // A label attached on the account page; the installation stays anonymous otherwise.
    j["linked"] = s.linkedLabel.has_value();
    j["email"] = s.linkedLabel ? ordered_json(*s.linkedLabel) : ordered_json(nullptr);
    return j;
}

std::string seconds(double s)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", s);
    return text;
}

ordered_json mintJson(const UsageService::Granted& granted, int64_t expiresAt)
{
    ordered_json j;
    j["clientSecret"] = granted.secret.secret;
    j["expiresAt"] = expiresAt;
    j["model"] = granted.model;
    j["plan"] = granted.status.plan;
    j["remainingSeconds"] = granted.status.remainingSeconds;
    j["quotaSeconds"] = granted.status.quotaSeconds;
    return j;
}

} // namespace

RequestRouter::RequestRouter(UsageService& usage, const LiveSessions& sessions, Settings settings, ProviderClient* provider,
                             DashboardEndpoint* dashboard)
    : usage_(usage), sessions_(sessions), settings_(std::move(settings)), provider_(provider), dashboard_(dashboard)
{
}

RequestRouter::Routed RequestRouter::route(const HttpRequest& request)
{
    struct Endpoint {
        const char* method;
        HttpResponse (RequestRouter::*handler)(const HttpRequest&);
    };
    static const std::map<std::string, Endpoint> endpoints{
        {"/api/realtime/session", {"POST", &RequestRouter::mint}},
        {"/api/usage/status", {"GET", &RequestRouter::status}},
        {"/api/usage/track", {"POST", &RequestRouter::track}},
        {"/api/agent/start", {"POST", nullptr}},
        {"/api/agent/continue", {"POST", nullptr}},
        {"/api/health", {"GET", nullptr}},
        {realtimePath, {"GET", nullptr}},
    };
    // The account page is for browsers: it has site checks of its own.
    if (dashboard_ != nullptr && DashboardEndpoint::serves(request.path)) return {dashboard_->handle(request)};
    // A browser extension's page tasks reach the agent endpoints from its own origin.
    const bool agentPath = request.path.starts_with("/api/agent/");
    const std::optional<std::string> extension = agentPath ? extensionOrigin(request) : std::nullopt;
    Routed routed;
    try {
        if (auto refused = checkSite(request, settings_.allowedHosts, agentPath)) {
            logLine("[twk/server] " + request.method + " " + request.path + " refused: " + refused->message);
            throw Refusal{refused->status, refused->message};
        }
        const auto it = endpoints.find(request.path);
        if (it == endpoints.end()) throw Refusal{404, "no such endpoint: " + request.path};
        if (extension && request.method == "OPTIONS") {
            routed = {preflight()};
        } else if (request.method != it->second.method) {
            routed = {errorResponse(405, request.method + " is not allowed on " + request.path)};
            routed.response.headers.emplace_back("Allow", it->second.method);
        } else if (request.path == realtimePath) {
            return realtime(request);
        } else if (provider_ != nullptr && it->second.handler == &RequestRouter::mint) {
            return mintUpstream(request);
        } else if (agentPath) {
            routed = agent(request);
        } else if (request.path == "/api/health") {
            return {jsonResponse(200, {{"ok", true}, {"service", "tarnwick-server"}})};
        } else {
            return {(this->*(it->second.handler))(request)};
        }
    } catch (const Refusal& r) {
        routed = {errorResponse(r.status, r.message)};
    } catch (const Error& e) {
        logLine("[twk/server] " + request.method + " " + request.path + " failed: " + e.description());
        routed = {errorResponse(500, "storage failure")};
    } catch (const std::exception& e) {
        logLine("[twk/server] " + request.method + " " + request.path + " failed: " + e.what());
        routed = {errorResponse(500, "internal error")};
    }
    if (extension) allowOrigin(routed, *extension);
    return routed;
}

void RequestRouter::allowOrigin(Routed& routed, const std::string& origin)
{
    const auto allow = [origin](HttpResponse& r) {
        r.headers.emplace_back("Access-Control-Allow-Origin", origin);
        r.headers.emplace_back("Vary", "Origin");
    };
    allow(routed.response);
    if (routed.deferred)
        routed.deferred = [inner = std::move(routed.deferred), allow](std::function<void(const HttpResponse&)> answer) {
            inner([answer, allow](const HttpResponse& r) {
                HttpResponse withOrigin = r;
                allow(withOrigin);
                answer(withOrigin);
            });
        };
}

std::string RequestRouter::allowedUser(const HttpRequest& request, std::string userId) const
{
    const auto& allowed = settings_.allowedUsers;
    if (allowed.empty() || std::find(allowed.begin(), allowed.end(), userId) != allowed.end()) return userId;
    logLine("[twk/server] " + request.method + " " + request.path + " refused: installation " + shortId(userId) +
            " is not on the allow-list");
    throw Refusal{403, "this installation is not allowed on this server"};
}

std::optional<HttpResponse> RequestRouter::mintRefusal(const std::string& userId, const std::string& peer)
{
    const int64_t now = usage_.now();
    for (auto [limiter, key] : {std::pair{&mintsByPeer_, "peer " + peer}, std::pair{&mintsByUser_, userId}}) {
        if (limiter->allow(key, now)) continue;
        logLine("[twk/server] credential refused for " + shortId(userId) + " from " + peer + ": too many requests");
        HttpResponse r = errorResponse(429, "too many credential requests; try again later");
        r.headers.emplace_back("Retry-After", std::to_string(std::max(1, limiter->secondsUntilAllowed(key, now))));
        return r;
    }
    const auto refused = usage_.refusal(userId);
    if (!refused) return std::nullopt;
    logLine("[twk/server] credential refused for " + shortId(userId) + ": quota used (" + seconds(refused->status.usedSeconds) + ")");
    ordered_json j;
    j["error"] = "quota exceeded: the " + refused->status.plan + " plan's minutes for this month are used up";
    j["plan"] = refused->status.plan;
    j["remainingSeconds"] = refused->status.remainingSeconds;
    return jsonResponse(402, j);
}

HttpResponse RequestRouter::mint(const HttpRequest& request)
{
    const json body = objectBody(request);
    const std::string userId = allowedUser(request, checkedUserId(member(body, "userId")));
    if (auto refused = mintRefusal(userId, request.peer)) return *refused;
    auto outcome = usage_.mint(userId);
    if (std::holds_alternative<UsageService::Refused>(outcome)) // used up between the check and the mint: cannot happen on one thread
        return errorResponse(402, "quota exceeded");
    const auto& granted = std::get<UsageService::Granted>(outcome);
    logLine("[twk/server] credential for " + shortId(userId) + " (" + seconds(granted.status.remainingSeconds) + " left)");
    return jsonResponse(200, mintJson(granted, granted.secret.expiresAtMs / 1000)); // Unix seconds, as credentials state their expiry
}

RequestRouter::Routed RequestRouter::mintUpstream(const HttpRequest& request)
{
    const json body = objectBody(request);
    const std::string userId = allowedUser(request, checkedUserId(member(body, "userId")));
    if (auto refused = mintRefusal(userId, request.peer)) return {*refused};
    Routed routed;
    routed.deferred = [this, userId](std::function<void(const HttpResponse&)> answer) {
        provider_->mintClientSecret([this, userId, answer](const ProviderClient::MintResult& result) {
            if (const auto* failure = std::get_if<ProviderFailure>(&result)) {
                logLine("[twk/server] credential for " + shortId(userId) + " failed at the provider (" +
                        std::to_string(failure->status) + ")");
                answer(errorResponse(failure->status, failure->message));
                return;
            }
            const auto& secret = std::get<ProviderSecret>(result);
            // An expiry the provider did not state: the local lifetime.
            const int64_t expiresAtMs = secret.expiresAt > 0 ? secret.expiresAt * 1000 : usage_.now() + usage_.settings().secretTtlMs;
            try {
                const UsageService::Granted granted = usage_.adopt(userId, secret.value, expiresAtMs);
                logLine("[twk/server] credential for " + shortId(userId) + " from the provider (" +
                        seconds(granted.status.remainingSeconds) + " left)");
                answer(jsonResponse(200, mintJson(granted, expiresAtMs / 1000)));
            } catch (const Error& e) {
                logLine("[twk/server] storing a provider credential failed: " + e.description());
                answer(errorResponse(500, "storage failure"));
            }
        });
    };
    return routed;
}

HttpResponse RequestRouter::status(const HttpRequest& request)
{
    const auto query = parseQuery(request.query);
    if (!query) throw Refusal{400, "malformed query"};
    std::optional<json> userId;
    for (const auto& [key, value] : *query) {
        if (key != "userId") continue;
        if (userId) throw Refusal{400, "userId is given more than once"};
        userId = value;
    }
    const std::string id = allowedUser(request, checkedUserId(userId ? &*userId : nullptr));
    const UsageStatus usage = usage_.status(id);
    logLine("[twk/server] status for " + shortId(id) + ": " + seconds(usage.usedSeconds) + " used, " +
            seconds(usage.remainingSeconds) + " left");
    return jsonResponse(200, statusJson(usage));
}

HttpResponse RequestRouter::track(const HttpRequest& request)
{
    const json body = objectBody(request);
    const std::string userId = allowedUser(request, checkedUserId(member(body, "userId")));
    const json* seconds = member(body, "seconds");
    if (seconds == nullptr) throw Refusal{400, "seconds is missing"};
    if (!seconds->is_number()) throw Refusal{400, "seconds must be a number"};
    const double value = seconds->get<double>();
    if (!std::isfinite(value) || value < 0 || value > maxReportSeconds)
        throw Refusal{400, "seconds must be from 0 to " + std::to_string(int64_t(maxReportSeconds))};

    std::map<std::string, int64_t> tokens;
    if (const json* t = member(body, "tokens"); t != nullptr) {
        if (!t->is_object() || t->size() > maxTokenKinds)
            throw Refusal{400, "tokens must be an object of at most " + std::to_string(maxTokenKinds) + " counts"};
        for (const auto& [name, count] : t->items()) {
            if (name.empty() || name.size() > 64) throw Refusal{400, "token names are 1 to 64 characters"};
            if (!count.is_number_integer() || count.get<int64_t>() < 0 || count.get<int64_t>() > maxTokenCount)
                throw Refusal{400, "tokens." + name + " must be a non-negative integer"};
            tokens[name] = count.get<int64_t>();
        }
    }
    const UsageStatus status = usage_.track(userId, value, tokens);
    logLine("[twk/server] usage for " + shortId(userId) + ": +" + ::twk::server::seconds(value) + ", " +
            ::twk::server::seconds(status.usedSeconds) + " this month");
    ordered_json j = statusJson(status);
    j["tokens"] = status.tokens;
    return jsonResponse(200, j);
}

RequestRouter::Routed RequestRouter::agent(const HttpRequest& request)
{
    if (agent_ == nullptr) throw Refusal{501, "agent rounds are not available on this server"};
    const json body = objectBody(request);
    const std::string userId = allowedUser(request, checkedUserId(member(body, "userId")));
    AgentEndpoint::Answer answer = request.path == "/api/agent/start" ? agent_->start(body, userId) : agent_->next(body, userId);
    if (answer.now) return {std::move(*answer.now)};
    Routed routed;
    routed.deferred = std::move(answer.later);
    return routed;
}

HttpResponse RequestRouter::preflight()
{
    HttpResponse r;
    r.status = 204;
    r.headers.emplace_back("Access-Control-Allow-Methods", "POST, OPTIONS");
    r.headers.emplace_back("Access-Control-Allow-Headers", "Content-Type");
    r.headers.emplace_back("Access-Control-Max-Age", "600");
    return r;
}

RequestRouter::Routed RequestRouter::realtime(const HttpRequest& request)
{
    if (!request.headerHasToken("upgrade", "websocket")) {
        HttpResponse r = errorResponse(426, "this endpoint speaks WebSocket only");
        r.headers.emplace_back("Upgrade", "websocket");
        return {r};
    }
    const auto unauthorised = [](const std::string& why) {
        HttpResponse r = errorResponse(401, why);
        r.headers.emplace_back("WWW-Authenticate", "Bearer");
        r.closeConnection = true;
        return Routed{r};
    };
    const std::string authorization = request.header("authorization").value_or("");
    if (authorization.size() <= 7 || !std::equal(authorization.begin(), authorization.begin() + 7, "bearer ",
                                                 [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
        return unauthorised("a client secret is required (Authorization: Bearer ...)");
    const auto grant = usage_.validateSecret(authorization.substr(7));
    if (!grant) {
        logLine("[twk/server] realtime connection refused: unknown or expired client secret");
        return unauthorised("the client secret is unknown or has expired");
    }
    const auto query = parseQuery(request.query);
    bool hasModel = false;
    if (query)
        for (const auto& [key, value] : *query) hasModel = hasModel || (key == "model" && !value.empty());
    if (!hasModel) {
        Routed r{errorResponse(400, "the model query parameter is required")};
        r.response.closeConnection = true;
        return r;
    }
    if (!request.body.empty()) {
        Routed r{errorResponse(400, "a WebSocket request has no body")};
        r.response.closeConnection = true;
        return r;
    }
    // A credential minted before the quota ran out opens nothing once it has.
    if (usage_.status(grant->userId).remainingSeconds <= 0) {
        Routed r{errorResponse(402, "quota exceeded: this month's minutes are used up")};
        r.response.closeConnection = true;
        return r;
    }
    const std::string secret = authorization.substr(7);
    if (sessions_.full(secret)) {
        Routed r{errorResponse(429, "this client secret already has " + std::to_string(LiveSessions::maxPerSecret) +
                                        " open connections")};
        r.response.closeConnection = true;
        return r;
    }
    return {HttpResponse{}, true, RealtimeGrant{grant->userId, secret}};
}

} // namespace twk::server
