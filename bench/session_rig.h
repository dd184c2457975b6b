#pragma once

// What the session measurements share: tarnwick-server on a free loopback
// port and a `tarnwick session` with a quiet microphone, in a temporary
// folder, and samples of a process's CPU time and memory.

#include "integration/process_helpers.h"
#include "integration/server/server_process.h"

#include <QTemporaryDir>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk::bench {

/// CPU time (all threads) and resident memory of a running process
/// (nullopt once it has ended).
struct ProcessSample {
    double cpuSeconds = 0;
    long rssKiB = 0;
};
std::optional<ProcessSample> sampleProcess(int pid);

/// The value below which `fraction` of `values` lie (nearest rank).
double percentile(std::vector<double> values, double fraction);

class SessionRig {
public:
    SessionRig();

    std::string path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
    void writeFile(const std::string& name, const std::string& content) const;

    /// tarnwick-server with its data here and `extraArgs`.
    test::ServerProcess& startServer(const std::vector<std::string>& extraArgs = {});
    /// `tarnwick session` (the executable at `exe`) with a quiet microphone,
    /// its backend the server and its realtime service `realtimeOrigin`
    /// (the server's when empty), and `env` added to its environment.
    test::ChildProcess& startSession(const std::string& exe, const std::string& realtimeOrigin = {},
                                     const std::map<std::string, std::optional<std::string>>& env = {});
    /// Reads what both processes have written so far, so neither blocks on a full pipe.
    void drain();

    test::ServerProcess& server() { return *server_; }
    test::ChildProcess& app() { return *app_; }

private:
    QTemporaryDir dir_;
    std::unique_ptr<test::ServerProcess> server_;
    std::unique_ptr<test::ChildProcess> app_;
};

/// `--name VALUE` from the command line, or `fallback`.
std::string option(int argc, char** argv, const std::string& name, const std::string& fallback);

} // namespace twk::bench
