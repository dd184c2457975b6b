#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace twk::server {

/// One tool as a language model is told about it.
struct AgentToolSchema {
    std::string name;
    std::string description;
    nlohmann::ordered_json inputSchema; // JSON Schema of the input object
};

/// The schemas of the tools in `names` (unknown names are skipped), in the order given.
std::vector<AgentToolSchema> agentToolSchemas(const std::vector<std::string>& names);

/// Whether `name` is a tool an agent may ask for.
bool isAgentTool(const std::string& name);

/// The system prompt of the agent's language model.
std::string agentSystemPrompt();

} // namespace twk::server
