#pragma once

// Records exchanged with the product backend. Decoding is strict (see
// json_fields.h); encoding keeps the documented key order.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// A granted realtime credential.
struct SessionMint {
    std::string clientSecret;
    int64_t expiresAt = 0;
    std::string model;
    std::string plan;
    double remainingSeconds = 0;
    double quotaSeconds = 0;

    static SessionMint decode(const std::string& body);
};

/// A mint refused for lack of quota; raised as an error of its own.
struct QuotaError : std::exception {
    std::string error;
    std::optional<std::string> plan;
    std::optional<double> remainingSeconds;

    const char* what() const noexcept override { return error.c_str(); }
    static QuotaError decode(const std::string& body);
};

/// The account's usage figures.
struct Status {
    std::string plan;
    double quotaSeconds = 0;
    double usedSeconds = 0;
    double remainingSeconds = 0;
    double resetAt = 0; // ms since the Unix epoch; <= 0: no reset date
    bool linked = false;
    std::optional<std::string> email;

    static Status decode(const std::string& body);
};

/// One action the agent model asks the client to perform.
struct AgentToolUse {
    std::string id;
    std::string name;
    std::string inputJSON; // the input re-serialised as compact JSON

    static AgentToolUse decode(const nlohmann::json& object);
};

/// One round of the agent model.
struct AgentRound {
    std::string sessionId;
    bool done = false;
    std::string text;
    std::vector<AgentToolUse> toolUses;
    int64_t inputTokens = 0;
    int64_t outputTokens = 0;

    static AgentRound decode(const std::string& body);
};

struct AgentImage {
    std::string base64;
    std::string mediaType;
};

/// The client's answer to one AgentToolUse.
struct AgentToolResult {
    std::string tool_use_id;
    std::optional<std::string> text;
    std::optional<AgentImage> image;
    bool isError = false;

    /// {"tool_use_id", "text"?, "image"?, "isError"}: absent parts are omitted.
    nlohmann::ordered_json encode() const;
};

} // namespace twk
