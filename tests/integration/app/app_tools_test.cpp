// The application tools through the real program, against real applications
// on the test desktop.

#include "integration/process_helpers.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace twk::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* exe = TARNWICK_EXE;

std::string tool(const std::vector<std::string>& args, int expectedStatus = 0)
{
    std::vector<std::string> all{"tool"};
    all.insert(all.end(), args.begin(), args.end());
    ChildProcess child(exe, all);
    EXPECT_EQ(child.waitForExit(20s), expectedStatus) << child.output();
    return child.output();
}

/// Runs `tarnwick tool ARGS` with its output into a pipe, as `x=$(tarnwick ...)`
/// does, and reads the pipe to its end; nothing when the end does not come in
/// time (something still holds the pipe).
std::optional<std::string> outputThroughAPipe(const std::vector<std::string>& args, std::chrono::milliseconds timeout)
{
    std::vector<std::string> all{exe, "tool"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, exe, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string output;
    bool ended = spawned != 0;
    for (const auto end = std::chrono::steady_clock::now() + timeout; !ended && std::chrono::steady_clock::now() < end;) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        char buf[4096];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0) output.append(buf, static_cast<size_t>(n));
        ended = n == 0;
    }
    close(fds[0]);
    if (spawned != 0) return std::nullopt;
    if (!ended) ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (!ended) return std::nullopt;
    return output;
}

/// Processes named `comm` started inside this test desktop.
std::vector<int> processesOfThisRun(const std::string& comm)
{
    const char* marker = std::getenv("TWK_HARNESS_RUN");
    const std::string wanted = std::string("TWK_HARNESS_RUN=") + (marker != nullptr ? marker : "");
    std::vector<int> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string procComm;
        std::getline(std::ifstream(entry.path() / "comm"), procComm);
        if (procComm != comm) continue;
        std::ifstream envFile(entry.path() / "environ");
        for (std::string variable; std::getline(envFile, variable, '\0');)
            if (variable == wanted) {
                pids.push_back(std::stoi(name));
                break;
            }
    }
    return pids;
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    for (const auto end = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < end;) {
        if (done()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

class AppTools : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const char* name : {"galculator", "mousepad"})
            for (int pid : processesOfThisRun(name)) ::kill(pid, SIGKILL);
    }
};

TEST_F(AppTools, OpenFocusListAndQuitRealApplicationsByTheirSpokenNames)
{
    EXPECT_TRUE(hasLine(tool({"open_app", R"({"name":"galculator"})"}), R"({"ok":true,"message":"opened Galculator"})"));
    ASSERT_TRUE(eventually([] { return tool({"list_apps"}).find(R"("name":"Galculator")") != std::string::npos; }));
    EXPECT_TRUE(hasLine(tool({"open_app", R"({"name":"Mousepad"})"}), R"({"ok":true,"message":"opened Mousepad"})"));
    ASSERT_TRUE(eventually([] { return tool({"list_apps"}).find(R"("name":"Mousepad")") != std::string::npos; }));

    // Found running by part of its name, and in front before the reply.
    const std::string focused = tool({"open_app", R"({"name":"GALC"})"});
    EXPECT_TRUE(hasLine(focused, R"({"ok":true,"message":"focused Galculator"})")) << focused;
    EXPECT_EQ(focused.find("waitForFrontmost: timed out"), std::string::npos) << focused;
    EXPECT_EQ(processesOfThisRun("galculator").size(), 1u); // focused, not launched again

    EXPECT_TRUE(hasLine(tool({"quit_app", R"({"name":"galculator"})"}), R"({"ok":true,"message":"quit Galculator"})"));
    EXPECT_TRUE(eventually([] { return processesOfThisRun("galculator").empty(); }));
    EXPECT_EQ(processesOfThisRun("mousepad").size(), 1u);

    EXPECT_TRUE(hasLine(tool({"quit_app", R"({"name":"galculator"})"}, 1),
                        R"({"ok":false,"error":"no running app matches galculator"})"));
    EXPECT_TRUE(hasLine(tool({"open_app", R"({"name":"no such program"})"}, 1),
                        R"({"ok":false,"error":"no app matching no such program"})"));
}

TEST_F(AppTools, ApplicationsAreFoundByWhatTheyAre)
{
    EXPECT_TRUE(hasLine(tool({"open_app", R"({"name":"calculator"})"}), R"({"ok":true,"message":"opened Galculator"})"));
    EXPECT_TRUE(hasLine(tool({"open_app", R"({"name":"text editor"})"}), R"({"ok":true,"message":"opened Mousepad"})"));
    EXPECT_TRUE(eventually([] { return processesOfThisRun("galculator").size() == 1u; }));
    EXPECT_TRUE(eventually([] { return processesOfThisRun("mousepad").size() == 1u; }));
}

TEST_F(AppTools, TheWindowManagerIsNeverQuit)
{
    const auto before = processesOfThisRun("openbox");
    ASSERT_EQ(before.size(), 1u);
    // Asked again while the window manager is not yet listed (it has just started).
    std::string answer;
    EXPECT_TRUE(eventually([&] {
        answer = tool({"quit_app", R"({"name":"box"})"}, 1);
        return answer.find("Openbox") != std::string::npos;
    })) << answer;
    EXPECT_NE(answer.find(R"({"ok":false,"error":"could not quit box)"), std::string::npos) << answer;
    std::this_thread::sleep_for(500ms); // a SIGTERM would have taken effect by now
    EXPECT_EQ(processesOfThisRun("openbox"), before);
}

TEST_F(AppTools, ALaunchedApplicationLeavesTheCallersOutputAlone)
{
    const auto output = outputThroughAPipe({"open_app", R"({"name":"galculator"})"}, 15s);
    ASSERT_TRUE(output) << "the output pipe stayed open after the tool answered";
    EXPECT_TRUE(hasLine(*output, R"({"ok":true,"message":"opened Galculator"})")) << *output;
    EXPECT_TRUE(eventually([] { return processesOfThisRun("galculator").size() == 1u; }));
}

TEST(MediaTools, MediaKeysReachThePlayerOnTheSessionBus)
{
    EXPECT_TRUE(hasLine(tool({"play_pause_media"}, 1), R"({"ok":false,"error":"no media player is running"})"));

    const auto log = std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "player.log";
    ChildProcess player(MPRIS_TEST_PLAYER, {"twkapp", "Playing", log.string()});
    ASSERT_TRUE(player.waitForOutput("ready\n")) << player.output();
    EXPECT_TRUE(hasLine(tool({"play_pause_media"}), R"({"ok":true,"message":"toggled play/pause"})"));
    EXPECT_TRUE(hasLine(tool({"next_track"}), R"({"ok":true,"message":"next track"})"));
    std::ifstream recorded(log);
    std::vector<std::string> calls;
    for (std::string line; std::getline(recorded, line);) calls.push_back(line);
    EXPECT_EQ(calls, (std::vector<std::string>{"PlayPause", "Next"}));
}

} // namespace
} // namespace twk::test
