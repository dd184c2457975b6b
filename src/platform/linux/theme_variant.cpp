#include "platform/linux/theme_variant.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

namespace twk {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view darkSuffix = "-dark";

std::vector<fs::path> themeFolders()
{
    std::vector<fs::path> folders;
    const char* home = std::getenv("HOME");
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome == '/') folders.emplace_back(fs::path(dataHome) / "themes");
    else if (home != nullptr) folders.emplace_back(fs::path(home) / ".local/share/themes");
    if (home != nullptr) folders.emplace_back(fs::path(home) / ".themes");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream dirs(dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : "/usr/local/share:/usr/share");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty()) folders.emplace_back(fs::path(dir) / "themes");
    return folders;
}

bool installed(const std::string& theme)
{
    if (theme == "Adwaita" || theme == "Adwaita-dark") return true;
    std::error_code error;
    for (const auto& folder : themeFolders())
        if (fs::is_directory(folder / theme, error)) return true;
    return false;
}

bool isDark(const std::string& theme)
{
    return theme.size() > darkSuffix.size() && theme.compare(theme.size() - darkSuffix.size(), darkSuffix.size(), darkSuffix) == 0;
}

} // namespace

std::optional<std::string> themeVariant(const std::string& current, bool dark)
{
    if (current.empty() || current.find('/') != std::string::npos || isDark(current) == dark) return std::nullopt;
    const std::string sibling = dark ? current + std::string(darkSuffix) : current.substr(0, current.size() - darkSuffix.size());
    if (!installed(sibling)) return std::nullopt;
    return sibling;
}

} // namespace twk
