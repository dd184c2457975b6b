#include "server_options.h"

#include <algorithm>
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

} // namespace

std::string usageText()
{
    return R"(Usage: tarnwick-server [OPTIONS]

Local stand-in for Tarnwick's hosted services: the backend's HTTP API
(realtime credentials, usage minutes) and the realtime WebSocket endpoint,
on one port.

Options:
  --address IP        address to listen on (default 127.0.0.1)
  --port N            port to listen on (default 8787; 0 picks a free one)
  --data-dir DIR      where usage and credentials are kept
                      (default $XDG_DATA_HOME/tarnwick-server)
  --scenario FILE     answer realtime sessions from this JSON script
                      (default: short demo replies without audio)
  --record FILE       append every message realtime clients send to FILE,
                      one JSON object per line
  --secret-ttl SECS   lifetime of a realtime client secret (default 600)
  --model NAME        model name handed out with each credential
                      (default tarnwick-local)
  --allow-host NAME   also answer requests whose Host is NAME (repeatable;
                      localhost and IP addresses are always answered)
  --help              show this text
  --version           show the version
)";
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
        static const std::vector<std::string> valued{"--address", "--port", "--data-dir", "--scenario",
                                                     "--record",  "--secret-ttl", "--model", "--allow-host"};
        if (std::find(valued.begin(), valued.end(), name) == valued.end()) return problem("unknown option " + name);
        if (!value) {
            if (i + 1 >= arguments.size()) return problem(name + " needs a value");
            value = arguments[++i];
        }
        if (name == "--address") {
            if (value->empty()) return problem("--address needs an IP address such as 127.0.0.1");
            o.address = *value;
        } else if (name == "--port") {
            const auto port = integer(*value, 0, 65535);
            if (!port) return problem("--port needs a number from 0 to 65535");
            o.port = *port;
        } else if (name == "--data-dir") {
            if (value->empty()) return problem("--data-dir needs a directory");
            o.dataDir = *value;
        } else if (name == "--scenario") {
            o.scenario = *value;
        } else if (name == "--record") {
            o.record = *value;
        } else if (name == "--secret-ttl") {
            const auto ttl = integer(*value, 1, 7 * 24 * 3600);
            if (!ttl) return problem("--secret-ttl needs seconds from 1 to 604800");
            o.secretTtlSeconds = *ttl;
        } else if (name == "--allow-host") {
            if (value->empty() || value->find_first_of(":/[] ") != std::string::npos)
                return problem("--allow-host needs a host name without port, such as tarnwick.example");
            o.allowedHosts.push_back(*value);
        } else {
            if (value->empty()) return problem("--model needs a name");
            o.model = *value;
        }
    }
    return {o, 0, ""};
}

} // namespace twk::server
