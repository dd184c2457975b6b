#pragma once

#include "platform/app_shell.h"

#include <set>

namespace twk::test {

class FakeAppShell : public AppShell {
public:
    std::string exePath = "/usr/bin/tarnwick";
    std::string home = "/home/ada";
    std::set<std::string> executables;
    std::set<std::string> buildTrees; // folder prefixes that count as build trees
    std::optional<std::string> spawnFailure;

    struct Spawn {
        std::string path;
        std::vector<std::string> args;
    };
    std::vector<Spawn> spawns;
    int terminations = 0;

    std::string executablePath() const override { return exePath; }
    std::string homeDirectory() const override { return home; }
    bool isExecutableFile(const std::string& path) const override { return executables.count(path) != 0; }
    bool isInBuildTree(const std::string& path) const override
    {
        for (const auto& prefix : buildTrees)
            if (path.starts_with(prefix)) return true;
        return false;
    }
    std::optional<std::string> spawnDetached(const std::string& path, const std::vector<std::string>& args) override
    {
        spawns.push_back({path, args});
        return spawnFailure;
    }
    void terminate() override { ++terminations; }
};

} // namespace twk::test
