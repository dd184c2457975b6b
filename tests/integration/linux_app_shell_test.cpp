#include "platform/linux/linux_app_shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace twk {
namespace {

// How a relaunch picks the program to start.
TEST(LinuxAppShell, KnowsWhereItRunsFromAndRecognisesABuildTree)
{
    LinuxAppShell shell;
    const std::string self = shell.executablePath();
    EXPECT_TRUE(std::filesystem::path(self).is_absolute());
    EXPECT_TRUE(shell.isExecutableFile(self));
    EXPECT_TRUE(shell.isInBuildTree(TARNWICK_EXE));
    EXPECT_FALSE(shell.isInBuildTree("/usr/bin/env"));
    const std::string plain = std::string(std::getenv("HOME")) + "/plain.txt";
    std::FILE* f = std::fopen(plain.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    std::filesystem::permissions(plain, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_FALSE(shell.isExecutableFile(plain)); // also as root
    EXPECT_FALSE(shell.isExecutableFile(std::getenv("HOME")));
    EXPECT_EQ(shell.homeDirectory(), std::getenv("HOME"));
}

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
