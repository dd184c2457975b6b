#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace twk {

/// How one run of a user automation ended.
struct AutomationRun {
    enum class Outcome {
        exited,      // ran to its end; see exitStatus
        notFound,    // no automation of that name
        spawnFailed, // could not be started; see failure
        timedOut,    // still running at the time limit, and stopped
    };
    Outcome outcome = Outcome::exited;
    /// The exit status; a negative number -N when signal N ended it.
    int exitStatus = 0;
    /// What it wrote to standard output and error (each cut off after a
    /// generous limit), as bytes.
    std::string output;
    std::string errorOutput;
    /// Why it could not be started.
    std::string failure;
};

/// The user's own automations: programs they keep in a folder of their
/// own, run by name. Callable from any thread; `run` blocks until the
/// automation ends or its time is up.
class Automations {
public:
    virtual ~Automations() = default;

    /// Where the automations live, as the user would name it ("~/.config/...").
    virtual std::string folder() const = 0;
    /// Runs the automation called `name` (a plain file name, already
    /// checked) with no arguments, `input` on its standard input (empty
    /// input when nothing is given). Past `timeLimit` the automation and
    /// every process it started in its group are ended.
    virtual AutomationRun run(const std::string& name, const std::optional<std::string>& input,
                              std::chrono::milliseconds timeLimit) = 0;
};

} // namespace twk
