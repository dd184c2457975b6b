#include "platform/linux/current_desktop.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace twk {

std::string currentDesktop()
{
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return desktop != nullptr ? desktop : "";
}

bool desktopListNames(const std::string& desktops, const std::string& name)
{
    std::istringstream list(desktops);
    for (std::string entry; std::getline(list, entry, ':');) {
        if (entry.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < entry.size(); ++i)
            same = same && std::toupper(static_cast<unsigned char>(entry[i])) ==
                               std::toupper(static_cast<unsigned char>(name[i]));
        if (same) return true;
    }
    return false;
}

} // namespace twk
