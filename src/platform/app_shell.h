#pragma once

#include <optional>
#include <string>
#include <vector>

namespace twk {

/// What the application shell needs from the operating system's process
/// model: where this program lives, starting another program, and quitting.
class AppShell {
public:
    virtual ~AppShell() = default;

    /// Absolute path of the running executable.
    virtual std::string executablePath() const = 0;
    virtual std::string homeDirectory() const = 0;
    virtual bool isExecutableFile(const std::string& path) const = 0;
    /// True when `path` sits in a build tree rather than an installation.
    virtual bool isInBuildTree(const std::string& path) const = 0;
    /// Starts `path` with `args` as a new process that outlives this one.
    /// Returns the system's error description when the start failed.
    virtual std::optional<std::string> spawnDetached(const std::string& path,
                                                     const std::vector<std::string>& args) = 0;
    /// Ends the application's event loop; the process exits normally.
    virtual void terminate() = 0;
};

} // namespace twk
