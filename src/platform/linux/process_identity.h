#pragma once

#include <string>
#include <vector>

namespace twk {

/// What a running process tells about which application it is, read from
/// /proc (plus its windows' WM_CLASS, which the caller fills in).
struct ProcessIdentity {
    /// The desktop file GIO launched it from, when that launch started this
    /// very process (GIO_LAUNCHED_DESKTOP_FILE with a matching _PID).
    std::string launchedDesktopFile;
    /// WM_CLASS of its first window: instance and class name.
    std::string instanceName;
    std::string className;
    /// The program file it runs (/proc/PID/exe, else its argv[0]).
    std::string executablePath;
    /// Its command-line arguments after argv[0].
    std::vector<std::string> arguments;
};

/// Reads what /proc tells about `pid`; fields it cannot read stay empty.
ProcessIdentity readProcessIdentity(int pid);

/// Whether `pid` is a live process (not gone, not a zombie awaiting its parent).
bool processIsRunning(int pid);

} // namespace twk
