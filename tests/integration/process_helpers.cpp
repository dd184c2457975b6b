#include "integration/process_helpers.h"

#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace twk::test {

ChildProcess::ChildProcess(const std::string& path, const std::vector<std::string>& args,
                           const std::map<std::string, std::optional<std::string>>& env)
{
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const auto eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : env) {
        if (v)
            vars[k] = *v;
        else
            vars.erase(k);
    }
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : vars) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStrings{path};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int rc = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    fd_ = fds[0];
    if (rc != 0) throw std::runtime_error("cannot start " + path);
}

ChildProcess::~ChildProcess()
{
    if (!status_) {
        kill(pid_, SIGKILL);
        waitForExit(std::chrono::seconds(5));
    }
    if (fd_ >= 0) close(fd_);
}

void ChildProcess::readAvailable(int timeoutMs)
{
    if (fd_ < 0) return;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return;
    char buf[4096];
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n > 0)
        output_.append(buf, static_cast<size_t>(n));
    else if (n == 0) {
        close(fd_);
        fd_ = -1;
    }
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output_.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (fd_ < 0) return false;
        readAvailable(20);
    }
    return true;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        readAvailable(10);
    }
    // The rest of the output, unless something the child left behind holds the pipe open.
    const auto drainUntil = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (fd_ >= 0 && std::chrono::steady_clock::now() < drainUntil) readAvailable(50);
    return status_;
}

void ChildProcess::sendSignal(int signo) const
{
    if (!status_) kill(pid_, signo);
}

const std::string& ChildProcess::output()
{
    readAvailable(0);
    return output_;
}

bool hasLine(const std::string& output, const std::string& line)
{
    return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

size_t occurrences(const std::string& output, const std::string& text)
{
    size_t count = 0;
    for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size())) ++count;
    return count;
}

} // namespace twk::test
