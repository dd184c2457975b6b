#include "platform/linux/linux_host.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

namespace twk {
namespace {

/// The account's passwd entry fields we use; empty when there is no entry.
struct Account {
    std::string name;
    std::string gecos;
};

Account currentAccount()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (found == nullptr) return {};
    return {found->pw_name != nullptr ? found->pw_name : "", found->pw_gecos != nullptr ? found->pw_gecos : ""};
}

std::string trimmed(const std::string& s)
{
    const auto begin = s.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    return s.substr(begin, s.find_last_not_of(" \t\r\n") - begin + 1);
}

/// A value of an environment-style file (KEY=value, optionally quoted).
std::optional<std::string> envFileValue(const std::filesystem::path& file, const std::string& key)
{
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (!line.starts_with(key + "=")) continue;
        std::string raw = line.substr(key.size() + 1);
        if (raw.size() < 2 || (raw.front() != '"' && raw.front() != '\'') || raw.back() != raw.front()) return raw;
        const char quote = raw.front();
        std::string value;
        for (size_t i = 1; i + 1 < raw.size(); ++i) {
            if (quote == '"' && raw[i] == '\\' && i + 2 < raw.size()) ++i;
            value += raw[i];
        }
        return value;
    }
    return std::nullopt;
}

/// "Europe/Berlin" from ".../zoneinfo/Europe/Berlin" (also the posix/ and
/// right/ variants); nothing when the path is not inside a zoneinfo tree.
std::optional<std::string> zoneFromPath(const std::string& path)
{
    const std::string marker = "zoneinfo/";
    const auto at = path.rfind(marker);
    if (at == std::string::npos) return std::nullopt;
    std::string zone = path.substr(at + marker.size());
    for (const char* variant : {"posix/", "right/"})
        if (zone.starts_with(variant)) zone.erase(0, std::string(variant).size());
    if (zone.empty()) return std::nullopt;
    return zone;
}

} // namespace

LinuxHost::LinuxHost(std::string etcDir) : etcDir_(std::move(etcDir)) {}

std::string fullNameFromGecos(const std::string& gecos)
{
    // "Full Name,Room,Work phone,Home phone,Other"
    return trimmed(gecos.substr(0, gecos.find(',')));
}

std::string LinuxHost::fullUserName() const { return fullNameFromGecos(currentAccount().gecos); }

std::string LinuxHost::shortUserName() const
{
    std::string name = currentAccount().name;
    if (name.empty()) {
        const char* user = std::getenv("USER");
        if (user != nullptr) name = user;
    }
    return name;
}

std::optional<std::string> LinuxHost::displayName() const
{
    if (auto pretty = envFileValue(std::filesystem::path(etcDir_) / "machine-info", "PRETTY_HOSTNAME");
        pretty && !trimmed(*pretty).empty())
        return trimmed(*pretty);
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return std::nullopt;
    return std::string(name);
}

std::string LinuxHost::timeZoneIdentifier() const
{
    if (const char* tz = std::getenv("TZ"); tz != nullptr) {
        std::string rule = tz;
        if (rule.starts_with(":")) rule.erase(0, 1);
        // An empty TZ means UTC to the C library.
        if (rule.empty()) return "UTC";
        return zoneFromPath(rule).value_or(rule);
    }
    // The C library follows /etc/localtime; /etc/timezone can lag behind it.
    const std::filesystem::path localtime = std::filesystem::path(etcDir_) / "localtime";
    std::error_code ec;
    if (std::filesystem::is_symlink(localtime, ec))
        if (auto zone = zoneFromPath(std::filesystem::read_symlink(localtime, ec).string()); zone && !ec) return *zone;
    std::ifstream file(std::filesystem::path(etcDir_) / "timezone");
    std::string line;
    if (std::getline(file, line) && !trimmed(line).empty()) return trimmed(line);
    // No zone configured at all: the C library runs on UTC.
    if (!std::filesystem::exists(localtime, ec)) return "UTC";
    return "Etc/Unknown";
}

LocalTime LinuxHost::localTime() const
{
    // localtime_r alone may keep a zone read before TZ last changed.
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.weekday = tm.tm_wday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.zoneAbbreviation = tm.tm_zone != nullptr ? tm.tm_zone : "";
    t.utcOffsetSeconds = tm.tm_gmtoff;
    return t;
}

std::optional<std::string> LinuxHost::musicFolder() const
{
    const char* homeEnv = std::getenv("HOME");
    const std::string home = homeEnv != nullptr && *homeEnv != '\0' ? homeEnv : "";
    if (home.empty()) return std::nullopt;
    const char* configEnv = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path config =
        configEnv != nullptr && configEnv[0] == '/' ? std::filesystem::path(configEnv) : std::filesystem::path(home) / ".config";

    std::string folder = home + "/Music";
    if (auto value = envFileValue(config / "user-dirs.dirs", "XDG_MUSIC_DIR")) {
        std::string dir = *value;
        if (dir.starts_with("$HOME")) dir = home + dir.substr(5);
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        // A folder set to the home itself is how the user turns it off.
        if (dir == home || dir.empty()) return std::nullopt;
        if (dir.front() == '/') folder = dir;
    }
    return folder;
}

} // namespace twk
