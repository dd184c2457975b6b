#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace twk::test {

/// A child process with its standard output and error merged into one pipe
/// that the test reads. Killed and reaped on destruction if still running.
class ChildProcess {
public:
    /// `env` entries override the inherited environment; nullopt removes one.
    ChildProcess(const std::string& path, const std::vector<std::string>& args,
                 const std::map<std::string, std::optional<std::string>>& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /// Waits until the output contains `text`.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// The exit status (negative: killed by that signal), or nullopt on time-out.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void sendSignal(int signo) const;
    const std::string& output();
    int pid() const { return pid_; }

private:
    void readAvailable(int timeoutMs);

    int pid_ = -1;
    int fd_ = -1;
    std::optional<int> status_;
    std::string output_;
};

/// Whether a process's `output` holds `line` as a whole line.
bool hasLine(const std::string& output, const std::string& line);
/// How many times `text` occurs in `output`.
size_t occurrences(const std::string& output, const std::string& text);

} // namespace twk::test
