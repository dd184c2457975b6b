#pragma once

#include "agent_engine.h"
#include "agent_tool_schemas.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace twk::server {

/// How one language-model API spells a conversation with tools: the
/// request, the messages of each turn, and the answer.
class AgentDialect {
public:
    virtual ~AgentDialect() = default;

    /// "/v1/messages"; appended to the configured base URL.
    virtual std::string path() const = 0;
    /// Headers besides Content-Type, the key among them.
    virtual std::vector<std::pair<std::string, std::string>> headers(const std::string& apiKey) const = 0;
    virtual nlohmann::json request(const std::string& model, int maxTokens, const std::string& system,
                                   const std::vector<AgentToolSchema>& tools, const nlohmann::json& messages) const = 0;
    /// Appends the task's first user message.
    virtual void addStart(nlohmann::json& messages, const AgentTask& task) const = 0;
    /// Appends what answers the last round: a result for each of `openIds` (in that order;
    /// a missing one as not carried out), then the user's message if any.
    virtual void addTurn(nlohmann::json& messages, const AgentTurn& turn, const std::vector<std::string>& openIds) const = 0;

    struct Parsed {
        AgentReply reply;
        nlohmann::json assistantMessage; // to append to the conversation
    };
    /// The round in a successful answer, or why it cannot be read.
    virtual std::variant<Parsed, std::string> parse(const nlohmann::json& answer) const = 0;
    /// The "type" of an image part, for dropping older screenshots from long conversations.
    virtual std::string imageType() const = 0;
};

std::unique_ptr<AgentDialect> anthropicDialect();
std::unique_ptr<AgentDialect> openAiDialect();

/// Replaces every image part (objects whose "type" is `imageType`) but the last `keep`
/// with a short text part, so that a long task does not resend every screenshot.
void dropOlderImages(nlohmann::json& messages, const std::string& imageType, size_t keep);

/// The text of a first user message: the task, and the screenshot's size when there is one.
std::string startText(const AgentTask& task);

/// A non-negative integer member of a provider's usage object, else 0.
int64_t tokenCount(const nlohmann::json& usage, const char* key);

} // namespace twk::server
