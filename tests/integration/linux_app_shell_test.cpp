#include "platform/linux/linux_app_shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace twk {
namespace {

// What relaunching spawns: the arguments must never meet a shell.
TEST(LinuxAppShell, SpawnsADetachedProcessWithPlainArgumentsAndReportsFailures)
{
    LinuxAppShell shell;
    // A name a shell would split or expand: it must arrive as one argument.
    const std::string target = std::string(std::getenv("HOME")) + "/spawned $(x) 'file'";
    EXPECT_FALSE(shell.spawnDetached("/usr/bin/touch", {target}).has_value());
    for (int i = 0; i < 250 && !std::filesystem::exists(target); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(std::filesystem::exists(target));

    const auto failure = shell.spawnDetached("/nonexistent/tarnwick", {});
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->empty());
}

} // namespace
} // namespace twk
