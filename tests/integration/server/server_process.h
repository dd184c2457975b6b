#pragma once

#include "integration/process_helpers.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk::test {

/// The real tarnwick-server on a free loopback port with the given data directory.
class ServerProcess {
public:
    /// `launcher` runs the server (its program and arguments before the server's path), e.g. prlimit;
    /// `env` overrides its environment. It runs with the hosted free plan
    /// (15 minutes a month) and no configuration file unless `extraArgs` say otherwise.
    explicit ServerProcess(const std::string& dataDir, const std::vector<std::string>& extraArgs = {},
                           const std::vector<std::string>& launcher = {},
                           const std::map<std::string, std::optional<std::string>>& env = {});

    int port() const { return port_; }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string realtimeOrigin() const { return "ws://127.0.0.1:" + std::to_string(port_); }
    ChildProcess& process() { return *process_; }
    /// SIGTERM, then the exit status (nullopt if it did not exit).
    std::optional<int> stop();

private:
    std::unique_ptr<ChildProcess> process_;
    int port_ = 0;
};

} // namespace twk::test
