#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace twk::server {

struct ServerOptions {
    std::string address = "127.0.0.1";
    int port = 8787;
    std::string dataDir; // empty: $XDG_DATA_HOME/tarnwick-server
    std::optional<std::string> scenario;
    std::optional<std::string> record;
    int secretTtlSeconds = 600;
    std::optional<std::string> model; // unset: tarnwick-local, or the provider's default model
    std::vector<std::string> allowedHosts; // --allow-host, repeatable
    std::optional<std::string> configFile; // --config
    std::string plan = "free";
    int quotaMinutes = 0; // 0: unlimited (metered, never refused)
    std::string providerUrl = "https://api.openai.com";
    std::optional<std::string> providerKeyFile;
    int providerTimeoutSeconds = 15;
    std::vector<std::string> allowedUsers; // --allow-user, repeatable; lower-case UUIDs

    std::optional<std::string> agentProvider; // "anthropic" or "openai"; unset: the local planner
    std::optional<std::string> agentUrl;      // unset: the provider's own API
    std::optional<std::string> agentModel;
    std::optional<std::string> agentKeyFile;
    int agentTimeoutSeconds = 60;
    /// The agent model's key, kept like the provider key below.
    std::string agentKey;
    std::string agentBaseUrl() const
    {
        return agentUrl.value_or(agentProvider == "anthropic" ? "https://api.anthropic.com" : "https://api.openai.com");
    }
    std::string agentModelName() const
    {
        return agentModel.value_or(agentProvider == "anthropic" ? "claude-sonnet-4-5" : "gpt-4.1-mini");
    }

    /// The hosted service's key: from the environment or a private file,
    /// never from the command line or the configuration file. Never logged.
    std::string providerKey;
    bool upstream() const { return !providerKey.empty(); }
    std::string modelName() const { return model.value_or(upstream() ? "gpt-realtime" : "tarnwick-local"); }
};

/// The command line, read: options to run with, or text to print and an exit status.
struct ParsedCommandLine {
    std::optional<ServerOptions> options;
    int exitCode = 0;
    std::string text; // help (exit 0) or the problem (exit 2)
};

/// `arguments` excludes the program name. Reads nothing but the arguments.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

/// Applies one option (name without the leading "--") to `options`; the
/// problem in words when the value is not acceptable.
std::optional<std::string> applyOption(ServerOptions& options, const std::string& name, const std::string& value);

std::string usageText();

} // namespace twk::server
