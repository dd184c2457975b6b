#pragma once

#include "agent_dialect.h"
#include "agent_engine.h"

#include <QNetworkAccessManager>

#include <functional>
#include <memory>
#include <string>
#include <variant>

namespace twk::server {

/// The hosted (or local) language model behind the agent endpoints.
struct AgentModelSettings {
    std::string provider; // "anthropic" or "openai" (chat completions, also local model servers)
    std::string baseUrl;  // endpoint paths are appended
    std::string apiKey;   // never logged, never in an answer; may be empty for a local server
    std::string model;
    int timeoutMs = 60'000;
    int maxTokens = 4096;
};

/// Relays each round to the model with the conversation so far, the agent's
/// system prompt and the schemas of the tools the caller offers.
class AgentModelEngine : public AgentEngine {
public:
    explicit AgentModelEngine(AgentModelSettings settings);
    ~AgentModelEngine() override;

    std::unique_ptr<AgentConversation> open() override;
    std::string name() const override { return settings_.provider + " model " + settings_.model; }

    using PostResult = std::variant<nlohmann::json, AgentFailure>;
    /// POSTs the JSON text `body`; `done` is called once, on this thread, unless the engine is destroyed first.
    void post(std::string body, std::function<void(const PostResult&)> done);

    const AgentModelSettings& settings() const { return settings_; }
    const AgentDialect& dialect() const { return *dialect_; }

    static constexpr qint64 maxAnswerBytes = 4 * 1024 * 1024;
    /// Largest request: what one task's conversation may grow to.
    static constexpr size_t maxRequestBytes = 16 * 1024 * 1024;
    /// Rounds one task may run before it is refused, beyond the application's own limit.
    static constexpr int maxRounds = 64;
    /// Screenshots resent with each request of a long task.
    static constexpr size_t keptImages = 2;

private:
    AgentModelSettings settings_;
    std::unique_ptr<AgentDialect> dialect_;
    QNetworkAccessManager network_;
};

/// The answer to our client for a model provider's HTTP status (not 2xx).
AgentFailure modelFailureForStatus(int httpStatus);

} // namespace twk::server
