#pragma once

// The agent endpoints' wire, as the application (and the browser extension)
// speak it. Bodies are JSON objects; keys are exact.
//
// POST /api/agent/start
//   {"userId": UUID, "description": string, "displayWidth": integer, "displayHeight": integer,
//    "screenshot": base64 PNG (optional), "tools": [tool name, ...] (optional)}
//   "description" is the task, optionally followed by "\n\n--- CURRENT SCREEN ---\n" and the
//   snapshot text of the window or page. "tools" names the tools the caller can execute;
//   absent: all of read_screen, take_screenshot, click, set_value, click_at, scroll,
//   press_key, type_text, invoke_menu, mark_step, set_plan. A browser page may also offer
//   navigate ({"url"}). The engine asks only for tools in that set.
// POST /api/agent/continue
//   {"userId": UUID, "sessionId": string,
//    "toolResults": [{"tool_use_id": string, "text": string (optional),
//                     "image": {"base64": string, "mediaType": string} (optional), "isError": bool}],
//    "userMessage": {"text": string, "image": {...} (optional)} (optional)}
//   Each result answers one tool use of the previous round, by its id. With "userMessage" the
//   round is a read-only check of the task's outcome: the answer's text is the verdict.
// Both answer 200 with an AgentRound:
//   {"sessionId": string, "done": bool, "text": string,
//    "toolUses": [{"id": string, "name": string, "input": object}],
//    "inputTokens": integer, "outputTokens": integer}
// or an error status with {"error": message}: 400 malformed, 404 unknown or expired session,
// 409 a round of that session still running, 413 screenshot too large, 429 too many tasks,
// 502/503 the language model failed.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace twk::server {

struct AgentImageIn {
    std::string base64;
    std::string mediaType;
};

struct AgentToolResultIn {
    std::string toolUseId;
    std::optional<std::string> text;
    std::optional<AgentImageIn> image;
    bool isError = false;
};

/// The start of a task.
struct AgentTask {
    std::string description;
    std::optional<std::string> screenshotBase64; // PNG
    int64_t displayWidth = 0;
    int64_t displayHeight = 0;
    std::vector<std::string> tools; // what the caller can execute
};

struct AgentUserMessage {
    std::string text;
    std::optional<AgentImageIn> image;
};

/// One later round: the previous round's results, or a read-only check.
struct AgentTurn {
    std::vector<AgentToolResultIn> results;
    std::optional<AgentUserMessage> userMessage;
};

struct AgentToolUseOut {
    std::string id;
    std::string name;
    nlohmann::json input = nlohmann::json::object();
};

struct AgentReply {
    bool done = false;
    std::string text;
    std::vector<AgentToolUseOut> toolUses;
    int64_t inputTokens = 0;
    int64_t outputTokens = 0;
};

/// Why a round has no reply, as answered to the client ({"error": message}).
struct AgentFailure {
    int status = 502;
    std::string message;
};

using AgentOutcome = std::variant<AgentReply, AgentFailure>;
using AgentAnswer = std::function<void(const AgentOutcome&)>;

/// One task's conversation with an engine. Each call answers exactly once,
/// possibly later (on the same thread); a conversation is not called again
/// before it has answered.
class AgentConversation {
public:
    virtual ~AgentConversation() = default;
    virtual void start(const AgentTask& task, AgentAnswer answer) = 0;
    virtual void next(const AgentTurn& turn, AgentAnswer answer) = 0;
};

class AgentEngine {
public:
    virtual ~AgentEngine() = default;
    virtual std::unique_ptr<AgentConversation> open() = 0;
    /// For the log: "local planner", "anthropic claude-…".
    virtual std::string name() const = 0;
};

/// Every tool an agent may ask for, in their usual order.
const std::vector<std::string>& agentToolNames();

} // namespace twk::server
