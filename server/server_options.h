#pragma once

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
    std::string model = "tarnwick-local";
    std::vector<std::string> allowedHosts; // --allow-host, repeatable
};

/// The command line, read: options to run with, or text to print and an exit status.
struct ParsedCommandLine {
    std::optional<ServerOptions> options;
    int exitCode = 0;
    std::string text; // help (exit 0) or the problem (exit 2)
};

/// `arguments` excludes the program name.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

} // namespace twk::server
