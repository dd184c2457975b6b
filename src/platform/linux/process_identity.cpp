#include "platform/linux/process_identity.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace twk {
namespace {

/// The NUL-separated fields of a /proc file (environ, cmdline).
std::vector<std::string> nulSeparated(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string all;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) all.append(chunk, static_cast<size_t>(in.gcount()));
    std::vector<std::string> fields;
    size_t start = 0;
    while (start < all.size()) {
        const size_t end = std::min(all.find('\0', start), all.size());
        fields.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

std::string launchedDesktopFile(const std::string& proc, int pid)
{
    std::string file, launcherPid;
    for (const auto& variable : nulSeparated(proc + "/environ")) {
        if (variable.starts_with("GIO_LAUNCHED_DESKTOP_FILE=")) file = variable.substr(variable.find('=') + 1);
        if (variable.starts_with("GIO_LAUNCHED_DESKTOP_FILE_PID="))
            launcherPid = variable.substr(variable.find('=') + 1);
    }
    // A child the application started itself inherits both; only the
    // launched process carries its own pid.
    return launcherPid == std::to_string(pid) ? file : std::string();
}

} // namespace

bool processIsRunning(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    // The state follows the parenthesised command name, which may hold anything.
    const size_t nameEnd = stat.rfind(')');
    return nameEnd != std::string::npos && nameEnd + 2 < stat.size() && stat[nameEnd + 2] != 'Z';
}

ProcessIdentity readProcessIdentity(int pid)
{
    ProcessIdentity identity;
    const std::string proc = "/proc/" + std::to_string(pid);
    identity.launchedDesktopFile = launchedDesktopFile(proc, pid);

    auto argv = nulSeparated(proc + "/cmdline");
    if (!argv.empty()) identity.arguments.assign(argv.begin() + 1, argv.end());
    std::error_code ec;
    identity.executablePath = std::filesystem::read_symlink(proc + "/exe", ec).string();
    // A program replaced by an upgrade while running.
    constexpr std::string_view deleted = " (deleted)";
    if (identity.executablePath.ends_with(deleted))
        identity.executablePath.resize(identity.executablePath.size() - deleted.size());
    if (identity.executablePath.empty() && !argv.empty()) identity.executablePath = argv.front();
    return identity;
}

} // namespace twk
