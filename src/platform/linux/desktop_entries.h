#pragma once

#include <optional>
#include <string>
#include <vector>

namespace twk {

/// An installed desktop entry (a ".desktop" file) as the workspace uses it.
struct DesktopEntry {
    /// The desktop-file id without ".desktop" ("org.xfce.mousepad").
    std::string id;
    /// Name, localized for the user's locale.
    std::string name;
    /// GenericName ("Text Editor"), localized; empty when unset.
    std::string genericName;
    /// Keywords, localized.
    std::vector<std::string> keywords;
    /// Absolute path of the file.
    std::string filename;
    /// StartupWMClass: the WM_CLASS class its windows carry; empty when unset.
    std::string startupWMClass;
    /// The program of its Exec line as written there.
    std::string executable;
    /// The Exec arguments that are not field codes ("--preferences").
    std::vector<std::string> fixedArguments;
    /// Whether desktops list it in their menus (not NoDisplay, shown here).
    bool shown = false;
};

/// Every entry the desktop knows, in its own listing order (user entries
/// before system ones). Entries whose program is missing are left out.
std::vector<DesktopEntry> installedDesktopEntries();

/// The entry with exactly this id, given with or without ".desktop".
std::optional<DesktopEntry> desktopEntryWithId(const std::string& id);

/// The id, with ".desktop", that GIO looks entries up by.
std::string desktopFileId(const std::string& id);

} // namespace twk
