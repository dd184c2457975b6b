#pragma once

#include <optional>
#include <string>

namespace twk {

/// The desktop's launcher: the search field that finds applications, files
/// and settings. Callable from any thread.
class DesktopLauncher {
public:
    virtual ~DesktopLauncher() = default;

    /// Asks the launcher itself to open its search with `query` in it.
    /// False when this desktop's launcher offers no way to ask, or did not
    /// answer.
    virtual bool searchDirectly(const std::string& query) = 0;
    /// The key combination that opens the launcher's search field, in the
    /// syntax of key combinations ("alt+f2"); nothing when not known.
    virtual std::optional<std::string> searchShortcut() = 0;
};

} // namespace twk
