// The application tools through the real program, against real applications
// on the test desktop.

#include "integration/process_helpers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

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

TEST(MediaTools, MediaKeysReachThePlayerOnTheSessionBus)
{
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
