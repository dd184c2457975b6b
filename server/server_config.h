#pragma once

#include "server_options.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace twk::server {

using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;

/// Everything the server runs with: the configuration file (`--config`, or
/// $XDG_CONFIG_HOME/tarnwick/server.conf when it exists), then the
/// environment, then the command line, each overriding the one before
/// (repeatable options add up); and the provider key from
/// TARNWICK_PROVIDER_API_KEY or the key file. Help, version and problems
/// come back as text with an exit status, as from parseCommandLine.
ParsedCommandLine loadServerOptions(const std::vector<std::string>& arguments, const EnvLookup& env);

/// Reads "name = value" lines ('#' starts a comment) into `options`;
/// the problem, naming the file and line, when one is wrong.
std::optional<std::string> applyConfigFile(ServerOptions& options, const std::string& path);

/// The key in a file that only its owner may read (mode 0600 or 0400),
/// without surrounding white space. Throws twk::Error saying what is wrong
/// with the file, never what it holds.
std::string readPrivateKeyFile(const std::string& path);

} // namespace twk::server
