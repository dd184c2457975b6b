#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace twk {

struct BoundedRun {
    enum class Outcome { exited, spawnFailed, timedOut };
    Outcome outcome = Outcome::exited;
    /// The exit status; -N when signal N ended the process.
    int status = 0;
    std::string output;
    std::string errorOutput;
    /// Why the program could not be started.
    std::string failure;
};

/// Runs the program at `argv[0]` (an absolute path, never through a shell)
/// in a process group of its own, feeding `input` to its standard input
/// (the null device when there is none) while collecting its output and
/// error, the first `keptBytes` of each. Past `limit` the whole group is
/// asked to end, then killed. Returns once the program has ended; programs
/// it left running in the background keep whatever they hold.
BoundedRun runBounded(const std::vector<std::string>& argv, const std::optional<std::string>& input,
                      std::chrono::milliseconds limit, std::size_t keptBytes = 64 * 1024);

} // namespace twk
