#include "server_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace twk::server {
namespace {

std::optional<int> integer(const std::string& text, int lo, int hi)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) return std::nullopt;
    return value;
}

ParsedCommandLine problem(const std::string& text) { return {std::nullopt, 2, text + "\nTry 'tarnwick-server --help'."}; }

bool isUuid(const std::string& id)
{
    if (id.size() != 36) return false;
    for (size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? id[i] != '-' : std::isxdigit(static_cast<unsigned char>(id[i])) == 0) return false;
    }
    return true;
}

const std::vector<std::string>& valuedOptions()
{
    static const std::vector<std::string> names{
        "address", "port", "data-dir", "scenario", "record", "secret-ttl", "model", "allow-host", "config",
        "plan", "quota-minutes", "provider-url", "provider-key-file", "provider-timeout", "allow-user",
        "agent-provider", "agent-url", "agent-model", "agent-key-file", "agent-timeout"};
    return names;
}

} // namespace

std::string usageText()
{
    return R"(Usage: tarnwick-server [OPTIONS]

Tarnwick's backend: the HTTP API (realtime credentials, usage minutes) and
the realtime WebSocket endpoint, on one port. Without a provider key it
answers realtime sessions itself (demo replies or a scenario); with one it
mints credentials at the hosted realtime service and relays sessions to it.

Options:
  --address IP        address to listen on (default 127.0.0.1)
  --port N            port to listen on (default 8787; 0 picks a free one)
  --data-dir DIR      where usage and credentials are kept
                      (default $XDG_DATA_HOME/tarnwick-server)
  --config FILE       read options from FILE, one "name = value" a line
                      (default $XDG_CONFIG_HOME/tarnwick/server.conf if it exists)
  --scenario FILE     answer realtime sessions from this JSON script
                      (default: short demo replies without audio)
  --record FILE       append every message realtime clients send to FILE,
                      one JSON object per line
  --secret-ttl SECS   lifetime of a realtime client secret (default 600)
  --model NAME        model handed out with each credential
                      (default tarnwick-local; gpt-realtime with a provider key)
  --plan NAME         plan name shown to clients (default free)
  --quota-minutes N   minutes per installation and month; 0 = unlimited,
                      metered but never refused (default 0)
  --provider-url URL  the hosted realtime service (default https://api.openai.com)
  --provider-key-file FILE
                      file holding the provider API key, readable by its
                      owner only (or set TARNWICK_PROVIDER_API_KEY)
  --provider-timeout SECS
                      how long to wait for the provider (default 15)
  --agent-provider anthropic|openai
                      answer agent rounds with a language model: the
                      Anthropic Messages API or OpenAI-compatible chat
                      completions (default: the built-in local planner,
                      which does simple tasks without any model)
  --agent-url URL     the model's API (default https://api.anthropic.com or
                      https://api.openai.com; e.g. http://127.0.0.1:8080 for
                      a local model server)
  --agent-model NAME  the model (default claude-sonnet-4-5 or gpt-4.1-mini)
  --agent-key-file FILE
                      file holding the model's API key, readable by its
                      owner only (or set TARNWICK_AGENT_API_KEY)
  --agent-timeout SECS
                      how long to wait for the model (default 60)
  --allow-user ID     serve only these installation ids (repeatable); required
                      with a provider key on an address beyond loopback
  --allow-host NAME   also answer requests whose Host is NAME (repeatable;
                      localhost and IP addresses are always answered)
  --help              show this text
  --version           show the version

Environment: TARNWICK_PROVIDER_API_KEY, TARNWICK_PROVIDER_KEY_FILE,
TARNWICK_PROVIDER_URL, TARNWICK_AGENT_API_KEY, TARNWICK_AGENT_KEY_FILE
(the options win over them).
)";
}

std::optional<std::string> applyOption(ServerOptions& o, const std::string& name, const std::string& value)
{
    if (name == "provider-key" || name == "api-key" || name == "agent-key")
        return "the provider key is never read from the command line or the configuration file (others may read "
               "them): set TARNWICK_PROVIDER_API_KEY or provider-key-file";
    if (std::find(valuedOptions().begin(), valuedOptions().end(), name) == valuedOptions().end())
        return "unknown option --" + name;
    if (name == "address") {
        if (value.empty()) return "--address needs an IP address such as 127.0.0.1";
        o.address = value;
    } else if (name == "port") {
        const auto port = integer(value, 0, 65535);
        if (!port) return "--port needs a number from 0 to 65535";
        o.port = *port;
    } else if (name == "data-dir") {
        if (value.empty()) return "--data-dir needs a directory";
        o.dataDir = value;
    } else if (name == "scenario") {
        o.scenario = value;
    } else if (name == "record") {
        o.record = value;
    } else if (name == "secret-ttl") {
        const auto ttl = integer(value, 1, 7 * 24 * 3600);
        if (!ttl) return "--secret-ttl needs seconds from 1 to 604800";
        o.secretTtlSeconds = *ttl;
    } else if (name == "allow-host") {
        if (value.empty() || value.find_first_of(":/[] ") != std::string::npos)
            return "--allow-host needs a host name without port, such as tarnwick.example";
        o.allowedHosts.push_back(value);
    } else if (name == "config") {
        if (value.empty()) return "--config needs a file";
        o.configFile = value;
    } else if (name == "plan") {
        if (value.empty() || value.size() > 64) return "--plan needs a name of 1 to 64 characters";
        o.plan = value;
    } else if (name == "quota-minutes") {
        const auto minutes = integer(value, 0, 31 * 24 * 60);
        if (!minutes) return "--quota-minutes needs minutes from 0 (unlimited) to 44640";
        o.quotaMinutes = *minutes;
    } else if (name == "provider-url") {
        if (!(value.starts_with("https://") || value.starts_with("http://")) || value.find_first_of("?# ") != std::string::npos)
            return "--provider-url needs an http(s) URL such as https://api.openai.com";
        o.providerUrl = value.ends_with('/') ? value.substr(0, value.size() - 1) : value;
    } else if (name == "provider-key-file") {
        if (value.empty()) return "--provider-key-file needs a file";
        o.providerKeyFile = value;
    } else if (name == "provider-timeout") {
        const auto seconds = integer(value, 1, 300);
        if (!seconds) return "--provider-timeout needs seconds from 1 to 300";
        o.providerTimeoutSeconds = *seconds;
    } else if (name == "agent-provider") {
        if (value != "anthropic" && value != "openai") return "--agent-provider needs anthropic or openai";
        o.agentProvider = value;
    } else if (name == "agent-url") {
        if (!(value.starts_with("https://") || value.starts_with("http://")) || value.find_first_of("?# ") != std::string::npos)
            return "--agent-url needs an http(s) URL such as https://api.anthropic.com";
        o.agentUrl = value.ends_with('/') ? value.substr(0, value.size() - 1) : value;
    } else if (name == "agent-model") {
        if (value.empty() || value.size() > 200) return "--agent-model needs a model name";
        o.agentModel = value;
    } else if (name == "agent-key-file") {
        if (value.empty()) return "--agent-key-file needs a file";
        o.agentKeyFile = value;
    } else if (name == "agent-timeout") {
        const auto seconds = integer(value, 1, 600);
        if (!seconds) return "--agent-timeout needs seconds from 1 to 600";
        o.agentTimeoutSeconds = *seconds;
    } else if (name == "allow-user") {
        if (!isUuid(value)) return "--allow-user needs an installation id (a UUID, twk.userId in tarnwick.conf)";
        std::string id = value;
        std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        o.allowedUsers.push_back(id);
    } else {
        if (value.empty()) return "--model needs a name";
        o.model = value;
    }
    return std::nullopt;
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    ServerOptions o;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") return {std::nullopt, 0, usageText()};
        if (name == "--version") return {std::nullopt, 0, std::string("tarnwick-server ") + TARNWICK_VERSION + "\n"};
        if (!name.starts_with("--")) return problem("unknown option " + name);
        const std::string bare = name.substr(2);
        const bool known = std::find(valuedOptions().begin(), valuedOptions().end(), bare) != valuedOptions().end();
        if (known && !value) {
            if (i + 1 >= arguments.size()) return problem(name + " needs a value");
            value = arguments[++i];
        }
        if (auto refused = applyOption(o, bare, value.value_or(""))) return problem(*refused);
    }
    return {o, 0, ""};
}

} // namespace twk::server
