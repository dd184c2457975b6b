#pragma once

#include <optional>
#include <string>
#include <vector>

namespace twk {

/// One application process as the desktop sees it.
struct RunningApplication {
    int pid = 0;
    /// Stable identifier of the application (a desktop-entry id on Linux);
    /// empty when the desktop cannot tell.
    std::string applicationId;
    /// The name shown to the user; nothing when the application has none.
    std::optional<std::string> localizedName;
    /// An ordinary application the user switches between, as opposed to a
    /// background agent or an accessory without windows of its own.
    bool regular = false;
};

/// The user's running applications. Implementations are callable from any
/// thread.
class Workspace {
public:
    virtual ~Workspace() = default;

    /// Every running application, in the desktop's own order.
    virtual std::vector<RunningApplication> runningApplications() = 0;
};

} // namespace twk
