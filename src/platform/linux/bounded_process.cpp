#include "platform/linux/bounded_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace twk {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

/// Grace the group gets between the polite request to end and the kill,
/// and what programs left in the background may still write.
constexpr auto endingGrace = 1s;
constexpr auto drainGrace = 100ms;

class Fd {
public:
    Fd() = default;
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Fd read, write;
    bool open()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        read.reset(fds[0]);
        write.reset(fds[1]);
        return true;
    }
};

/// A write to a stdin whose reader has gone raises SIGPIPE, which would end
/// this whole program: blocked on this thread, and a pending one consumed.
class SigpipeBlocked {
public:
    SigpipeBlocked()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeBlocked()
    {
        const struct timespec none {};
        while (sigtimedwait(&pipe_, nullptr, &none) == SIGPIPE) {}
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeBlocked(const SigpipeBlocked&) = delete;
    SigpipeBlocked& operator=(const SigpipeBlocked&) = delete;

private:
    sigset_t pipe_{};
    sigset_t previous_{};
};

int statusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return -WTERMSIG(waitStatus);
    return -1;
}

/// Reads what is there; false at the end of the stream.
bool readInto(int fd, std::string& into, std::size_t keptBytes)
{
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            const auto room = keptBytes > into.size() ? keptBytes - into.size() : 0;
            into.append(buffer.data(), std::min(room, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0 && errno == EAGAIN;
    }
}

/// Asks the group to end, then kills whatever of it is left; reaps `pid`.
int endGroup(pid_t pid)
{
    ::kill(-pid, SIGTERM);
    int waitStatus = 0;
    const auto until = Clock::now() + endingGrace;
    pid_t reaped = 0;
    while ((reaped = ::waitpid(pid, &waitStatus, WNOHANG)) == 0 && Clock::now() < until)
        std::this_thread::sleep_for(10ms);
    ::kill(-pid, SIGKILL);
    if (reaped == 0) ::waitpid(pid, &waitStatus, 0);
    return statusOf(waitStatus);
}

} // namespace

BoundedRun runBounded(const std::vector<std::string>& argv, const std::optional<std::string>& input,
                      std::chrono::milliseconds limit, std::size_t keptBytes)
{
    BoundedRun run;
    Pipe in, out, err;
    if ((input && !in.open()) || !out.open() || !err.open()) {
        run.outcome = BoundedRun::Outcome::spawnFailed;
        run.failure = std::strerror(errno);
        return run;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input)
        posix_spawn_file_actions_adddup2(&actions, in.read.get(), STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write.get(), STDERR_FILENO);
    // Nothing else of ours (sockets, the sound server's pipes) reaches the program.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    in.read.reset();
    out.write.reset();
    err.write.reset();
    if (spawned != 0) {
        run.outcome = BoundedRun::Outcome::spawnFailed;
        run.failure = std::strerror(spawned);
        return run;
    }

    SigpipeBlocked sigpipe;
    for (const int fd : {in.write.get(), out.read.get(), err.read.get()})
        if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::size_t written = 0;
    bool outOpen = true, errOpen = true;
    std::optional<int> exitStatus;
    const auto deadline = Clock::now() + limit;
    std::optional<Clock::time_point> drainUntil;

    for (;;) {
        if (!exitStatus) {
            int waitStatus = 0;
            if (::waitpid(pid, &waitStatus, WNOHANG) == pid) {
                exitStatus = statusOf(waitStatus);
                drainUntil = Clock::now() + drainGrace;
            }
        }
        const auto now = Clock::now();
        if (exitStatus && !outOpen && !errOpen) break;
        if (drainUntil && now >= *drainUntil) break;
        if (!exitStatus && now >= deadline) break;

        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        if (outOpen) fds[count++] = {out.read.get(), POLLIN, 0};
        if (errOpen) fds[count++] = {err.read.get(), POLLIN, 0};
        const bool feeding = in.write.get() >= 0;
        if (feeding) fds[count++] = {in.write.get(), POLLOUT, 0};
        const auto until = drainUntil ? *drainUntil : deadline;
        // Short waits also notice the exit of a program that writes nothing.
        const auto wait = std::clamp<Clock::duration>(until - now, Clock::duration::zero(), 50ms);
        ::poll(fds.data(), count, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));

        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == out.read.get()) outOpen = readInto(fds[i].fd, run.output, keptBytes);
            else if (fds[i].fd == err.read.get()) errOpen = readInto(fds[i].fd, run.errorOutput, keptBytes);
        }
        if (feeding) {
            const ssize_t n = ::write(in.write.get(), input->data() + written, input->size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            // Done, or the program stopped reading: either way it gets its end of input.
            if (written == input->size() || (n < 0 && errno != EAGAIN && errno != EINTR)) in.write.reset();
        }
    }

    if (!exitStatus && Clock::now() >= deadline) {
        run.outcome = BoundedRun::Outcome::timedOut;
        run.status = endGroup(pid);
        return run;
    }
    run.status = *exitStatus;
    return run;
}

} // namespace twk
