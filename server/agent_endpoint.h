#pragma once

#include "agent_engine.h"
#include "agent_sessions.h"
#include "http_response.h"
#include "rate_limiter.h"
#include "usage_service.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>

namespace twk::server {

/// POST /api/agent/start and /api/agent/continue (wire: agent_engine.h):
/// checks the request, keeps the task's session and hands the round to the
/// engine. The round's tokens are counted in the installation's usage.
class AgentEndpoint {
public:
    using Deliver = std::function<void(const HttpResponse&)>;
    /// The answer now, or later through `later`.
    struct Answer {
        std::optional<HttpResponse> now;
        std::function<void(Deliver)> later;
    };

    AgentEndpoint(AgentEngine& engine, UsageService& usage, AgentSessions::Limits limits = {});

    /// `body` is a JSON object whose userId has been checked.
    Answer start(const nlohmann::json& body, const std::string& userId);
    Answer next(const nlohmann::json& body, const std::string& userId);

    /// Largest screenshot or result image, as base64 text.
    static constexpr size_t maxImageBase64 = 6 * 1024 * 1024;
    static constexpr size_t maxDescriptionBytes = 256 * 1024;
    static constexpr size_t maxToolResults = 64;
    /// Task starts per installation: a burst, then a steady rate.
    static constexpr double startBurst = 20, startsPerSecond = 1.0 / 3;

private:
    Answer run(const std::string& sessionId, const std::function<void(AgentConversation&, AgentAnswer)>& call);
    HttpResponse finish(const std::string& sessionId, const AgentOutcome& outcome);

    AgentEngine& engine_;
    UsageService& usage_;
    AgentSessions sessions_;
    RateLimiter starts_{startBurst, startsPerSecond};
};

} // namespace twk::server
