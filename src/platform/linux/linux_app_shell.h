#pragma once

#include "platform/app_shell.h"

namespace twk {

class LinuxAppShell : public AppShell {
public:
    std::string executablePath() const override;
    std::string homeDirectory() const override;
    bool isExecutableFile(const std::string& path) const override;
    /// A build tree is recognised by the CMakeCache.txt in one of the
    /// executable's ancestor folders.
    bool isInBuildTree(const std::string& path) const override;
    std::optional<std::string> spawnDetached(const std::string& path, const std::vector<std::string>& args) override;
    void terminate() override;
};

} // namespace twk
