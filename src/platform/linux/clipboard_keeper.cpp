#include "platform/linux/clipboard_keeper.h"

#include "platform/linux/x11_clipboard.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace twk {
namespace {

constexpr const char* keeperVariable = "TWK_CLIPBOARD_KEEPER";

} // namespace

bool isClipboardKeeper() { return std::getenv(keeperVariable) != nullptr; }

bool startClipboardKeeper(const std::string& text)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    env.push_back(std::string(keeperVariable) + "=1");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = "tarnwick", toolWord = "tool", name = "clipboard";
    char* argv[] = {self.data(), toolWord.data(), name.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID); // outlives our terminal session
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    bool written = rc == 0;
    for (size_t done = 0; written && done < text.size();) {
        const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
        if (n <= 0) written = false;
        else done += static_cast<size_t>(n);
    }
    close(fds[1]);
    return written;
}

int runClipboardKeeper()
{
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(STDIN_FILENO, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    X11Clipboard clipboard;
    if (!clipboard.writeString(text)) return 1;
    while (clipboard.ownsClipboard()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return 0;
}

} // namespace twk
