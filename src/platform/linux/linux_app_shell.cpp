#include "platform/linux/linux_app_shell.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace twk {

std::string LinuxAppShell::executablePath() const
{
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::string LinuxAppShell::homeDirectory() const
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return "/";
}

bool LinuxAppShell::isExecutableFile(const std::string& path) const
{
    // access() alone says yes to root for files no one may execute.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    using std::filesystem::perms;
    return !ec && std::filesystem::is_regular_file(status) &&
           (status.permissions() & (perms::owner_exec | perms::group_exec | perms::others_exec)) != perms::none &&
           access(path.c_str(), X_OK) == 0;
}

bool LinuxAppShell::isInBuildTree(const std::string& path) const
{
    std::error_code ec;
    for (auto dir = std::filesystem::path(path).parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (std::filesystem::exists(dir / "CMakeCache.txt", ec)) return true;
        if (dir == dir.root_path()) break;
    }
    return false;
}

std::optional<std::string> LinuxAppShell::spawnDetached(const std::string& path, const std::vector<std::string>& args)
{
    QStringList arguments;
    for (const auto& a : args) arguments << QString::fromStdString(a);
    QProcess process;
    process.setProgram(QString::fromStdString(path));
    process.setArguments(arguments);
    if (process.startDetached()) return std::nullopt;
    return process.errorString().toStdString();
}

void LinuxAppShell::terminate()
{
    QCoreApplication::quit();
}

} // namespace twk
