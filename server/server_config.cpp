#include "server_config.h"

#include "common/error.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace twk::server {
namespace {

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

ParsedCommandLine problem(const std::string& text) { return {std::nullopt, 2, text + "\nTry 'tarnwick-server --help'."}; }

std::string defaultConfigPath(const EnvLookup& env)
{
    auto dir = env("XDG_CONFIG_HOME");
    if (!dir || dir->empty()) {
        const auto home = env("HOME");
        if (!home || home->empty()) return {};
        dir = *home + "/.config";
    }
    return *dir + "/tarnwick/server.conf";
}

} // namespace

std::optional<std::string> applyConfigFile(ServerOptions& options, const std::string& path)
{
    std::ifstream in(path);
    if (!in) return "cannot read the configuration " + path + ": " + std::strerror(errno);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = path + " line " + std::to_string(number) + ": ";
        if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        line = trimmed(line);
        if (line.empty()) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return where + "expected name = value";
        const std::string name = trimmed(line.substr(0, eq));
        if (name == "config") return where + "a configuration file cannot name another one";
        if (auto refused = applyOption(options, name, trimmed(line.substr(eq + 1)))) return where + *refused;
    }
    return std::nullopt;
}

std::string readPrivateKeyFile(const std::string& path)
{
    const auto fail = [&](const std::string& why) { return Error("twk.server.key", 1, "provider key file " + path + " " + why); };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) throw fail(std::string("cannot be read: ") + std::strerror(errno));
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    std::string text;
    if (statted && S_ISREG(st.st_mode) && (st.st_mode & 077) == 0 && st.st_uid == ::geteuid() && st.st_size <= 4096) {
        char buffer[4097];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() <= 4096) text.append(buffer, size_t(n));
    }
    ::close(fd);
    if (!statted) throw fail("cannot be examined");
    if (!S_ISREG(st.st_mode)) throw fail("is not a regular file");
    if (st.st_uid != ::geteuid()) throw fail("belongs to another user");
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
        throw fail("may be read by other users (mode " + std::string(mode) + "); make it private with: chmod 600 " + path);
    }
    if (st.st_size > 4096) throw fail("is too large to hold a key");
    text = trimmed(text);
    if (text.empty()) throw fail("is empty");
    if (text.find_first_of(" \t\r\n") != std::string::npos) throw fail("must hold the key alone on one line");
    return text;
}

ParsedCommandLine loadServerOptions(const std::vector<std::string>& arguments, const EnvLookup& env)
{
    // The command line first on its own: help, version and its mistakes
    // come before any file is read, and it may name the configuration file.
    ParsedCommandLine command = parseCommandLine(arguments);
    if (!command.options) return command;

    ServerOptions options;
    std::string configPath = command.options->configFile.value_or("");
    if (configPath.empty()) {
        configPath = defaultConfigPath(env);
        if (!configPath.empty() && ::access(configPath.c_str(), F_OK) != 0) configPath.clear();
    }
    if (!configPath.empty())
        if (auto refused = applyConfigFile(options, configPath)) return problem(*refused);
    for (const auto& [variable, option] : {std::pair{"TARNWICK_PROVIDER_URL", "provider-url"},
                                           std::pair{"TARNWICK_PROVIDER_KEY_FILE", "provider-key-file"},
                                           std::pair{"TARNWICK_AGENT_KEY_FILE", "agent-key-file"}})
        if (const auto value = env(variable); value && !value->empty())
            if (auto refused = applyOption(options, option, *value)) return problem(std::string(variable) + ": " + *refused);
    // The command line once more, over the file and the environment.
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i].substr(2);
        std::string value;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else {
            value = arguments[++i];
        }
        applyOption(options, name, value); // already checked above
    }
    options.configFile = configPath.empty() ? std::nullopt : std::optional(configPath);

    try {
        if (const auto key = env("TARNWICK_PROVIDER_API_KEY"); key && !trimmed(*key).empty())
            options.providerKey = trimmed(*key);
        else if (options.providerKeyFile)
            options.providerKey = readPrivateKeyFile(*options.providerKeyFile);
        if (const auto key = env("TARNWICK_AGENT_API_KEY"); key && !trimmed(*key).empty())
            options.agentKey = trimmed(*key);
        else if (options.agentKeyFile)
            options.agentKey = readPrivateKeyFile(*options.agentKeyFile);
    } catch (const Error& e) {
        return {std::nullopt, 2, e.description()};
    }
    // Only a model server of one's own may go without a key.
    if (options.agentProvider && options.agentKey.empty() && (options.agentProvider == "anthropic" || !options.agentUrl))
        return problem("--agent-provider " + *options.agentProvider +
                       " needs the model's API key: set TARNWICK_AGENT_API_KEY or agent-key-file");
    if (options.upstream() && options.scenario)
        return problem("--scenario plays sessions here, a provider key sends them to the provider: choose one");
    return {options, 0, ""};
}

} // namespace twk::server
