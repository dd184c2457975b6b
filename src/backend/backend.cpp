#include "backend/backend.h"

#include "common/log.h"
#include "common/url.h"
#include "common/utf8.h"
#include "common/uuid.h"

namespace twk {
namespace {

constexpr const char* userIdKey = "twk.userId";

bool isSuccess(const HttpResponse& r) { return r.status && *r.status >= 200 && *r.status <= 299; }

} // namespace

Backend::Backend(HttpClient& http, Settings& settings, std::string baseURL)
    : http_(http), settings_(settings), baseURL_(std::move(baseURL))
{
}

std::string Backend::userId()
{
    std::lock_guard lock(userIdMutex_);
    if (auto stored = settings_.string(userIdKey); stored && !stored->empty()) return *stored;
    std::string fresh = makeUuid();
    settings_.setString(userIdKey, fresh);
    return fresh;
}

HttpRequest Backend::jsonPost(const std::string& path, const nlohmann::ordered_json& body, Duration timeout) const
{
    std::string text;
    try {
        text = body.dump();
    } catch (const nlohmann::json::exception& e) {
        throw Error("twk.encode", e.id, e.what()); // e.g. text that is not UTF-8; nothing is sent
    }
    return HttpRequest{"POST", baseURL_ + path, {{"Content-Type", "application/json"}}, std::move(text), timeout};
}

Task<HttpResponse> Backend::send(HttpRequest request)
{
    // Named, not a temporary inside the co_await: g++ 12 destroys such
    // temporaries twice when they own memory.
    auto awaiter = awaitCallback<Expected<HttpResponse>>([this, &request](std::function<void(Expected<HttpResponse>)> done) {
        http_.send(std::move(request), std::move(done));
    });
    Expected<HttpResponse> result = co_await awaiter;
    co_return std::move(result).value(); // a transport failure is raised unchanged
}

Task<SessionMint> Backend::mintSession()
{
    nlohmann::ordered_json body;
    body["userId"] = userId();
    const HttpResponse r = co_await send(jsonPost("/api/realtime/session", body, usageTimeout));
    if (!r.status) throw Error("twk.backend", -1, "");
    if (*r.status == 402) throw QuotaError::decode(r.body);
    if (isSuccess(r)) co_return SessionMint::decode(r.body);
    throw Error("twk.backend", *r.status, "mint " + std::to_string(*r.status) + ": " + utf8OrEmpty(r.body));
}

Task<Status> Backend::fetchStatus()
{
    HttpRequest request{"GET", baseURL_ + "/api/usage/status?userId=" + percentEncode(userId()), {}, std::nullopt,
                        usageTimeout};
    const HttpResponse r = co_await send(std::move(request));
    if (!isSuccess(r)) throw Error("twk.backend", -1, "");
    co_return Status::decode(r.body);
}

Task<void> Backend::trackUsage(double seconds, std::optional<std::map<std::string, int64_t>> tokens)
{
    try {
        nlohmann::ordered_json body;
        body["userId"] = userId();
        body["seconds"] = seconds;
        if (tokens) body["tokens"] = *tokens;
        HttpRequest request;
        try {
            request = jsonPost("/api/usage/track", body, usageTimeout);
        } catch (const Error&) {
            // Sent without a body rather than not at all.
            request = HttpRequest{"POST", baseURL_ + "/api/usage/track", {{"Content-Type", "application/json"}},
                                  std::nullopt, usageTimeout};
        }
        co_await send(std::move(request));
    } catch (const std::exception& e) {
        // The backend's own counters are authoritative; a lost report is harmless.
        logLine("[twk] usage report to " + baseURL_ + " failed: " + e.what());
    }
}

Task<AgentRound> Backend::postAgent(const std::string& path, nlohmann::ordered_json body)
{
    const HttpResponse r = co_await send(jsonPost(path, body, agentTimeout));
    if (isSuccess(r)) co_return AgentRound::decode(r.body);
    throw Error("twk.agent", r.status.value_or(-1), "agent " + utf8OrEmpty(r.body));
}

Task<AgentRound> Backend::agentStart(std::string description, std::optional<std::string> screenshotBase64,
                                     int64_t displayWidth, int64_t displayHeight)
{
    nlohmann::ordered_json body;
    body["userId"] = userId();
    body["description"] = std::move(description);
    body["displayWidth"] = displayWidth;
    body["displayHeight"] = displayHeight;
    if (screenshotBase64) body["screenshot"] = std::move(*screenshotBase64);
    co_return co_await postAgent("/api/agent/start", std::move(body));
}

Task<AgentRound> Backend::agentContinue(std::string sessionId, std::vector<AgentToolResult> toolResults)
{
    nlohmann::ordered_json results = nlohmann::ordered_json::array();
    for (const auto& result : toolResults) results.push_back(result.encode());
    nlohmann::ordered_json body;
    body["userId"] = userId();
    body["sessionId"] = std::move(sessionId);
    body["toolResults"] = std::move(results);
    co_return co_await postAgent("/api/agent/continue", std::move(body));
}

Task<AgentRound> Backend::agentVerify(std::string sessionId, std::string prompt,
                                      std::optional<std::string> screenshotBase64)
{
    nlohmann::ordered_json message;
    message["text"] = std::move(prompt);
    if (screenshotBase64) message["image"] = {{"base64", std::move(*screenshotBase64)}, {"mediaType", "image/png"}};
    nlohmann::ordered_json body;
    body["userId"] = userId();
    body["sessionId"] = std::move(sessionId);
    body["toolResults"] = nlohmann::ordered_json::array();
    body["userMessage"] = std::move(message);
    co_return co_await postAgent("/api/agent/continue", std::move(body));
}

std::string Backend::signInLink()
{
    // "source=mac" is what the account page keys its return link on.
    return baseURL_ + "/dashboard?uuid=" + percentEncode(userId()) + "&source=mac";
}

std::string Backend::dashboardLink()
{
    return baseURL_ + "/dashboard?uuid=" + percentEncode(userId());
}

} // namespace twk
