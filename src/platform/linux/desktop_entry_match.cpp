#include "platform/linux/desktop_entry_match.h"

#include "common/text_case.h"

#include <algorithm>
#include <filesystem>

namespace twk {
namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return lowercased(a) == lowercased(b);
}

std::string fileName(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

template <class Predicate>
const DesktopEntry* firstWhere(const std::vector<DesktopEntry>& entries, Predicate matches)
{
    const auto it = std::find_if(entries.begin(), entries.end(), matches);
    return it != entries.end() ? &*it : nullptr;
}

} // namespace

const DesktopEntry* matchDesktopEntry(const std::vector<DesktopEntry>& entries, const ProcessIdentity& process)
{
    if (!process.launchedDesktopFile.empty())
        if (const auto* hit = firstWhere(entries, [&](const DesktopEntry& e) {
                return e.filename == process.launchedDesktopFile;
            }))
            return hit;
    if (!process.className.empty())
        if (const auto* hit = firstWhere(entries, [&](const DesktopEntry& e) {
                return e.startupWMClass == process.className;
            }))
            return hit;
    if (const auto* hit = firstWhere(entries, [&](const DesktopEntry& e) {
            return (!process.className.empty() && equalIgnoringCase(e.id, process.className)) ||
                   (!process.instanceName.empty() && equalIgnoringCase(e.id, process.instanceName));
        }))
        return hit;
    const std::string program = fileName(process.executablePath);
    if (program.empty()) return nullptr;
    return firstWhere(entries, [&](const DesktopEntry& e) {
        if (e.executable.empty() || fileName(e.executable) != program) return false;
        return std::all_of(e.fixedArguments.begin(), e.fixedArguments.end(), [&](const std::string& arg) {
            return std::find(process.arguments.begin(), process.arguments.end(), arg) != process.arguments.end();
        });
    });
}

} // namespace twk
