#include "app/relauncher.h"
#include "common/log.h"
#include "fakes/fake_app_shell.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

class RelauncherTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    test::FakeAppShell shell;
    Relauncher relauncher{shell, loop};
    std::vector<std::string> lines;
    LogCapture capture{[this](const std::string& l) { lines.push_back(l); }};
};

TEST_F(RelauncherTest, AnInstalledBinaryRelaunchesItselfAndQuitsHalfASecondLater)
{
    shell.exePath = "/usr/bin/tarnwick";
    shell.executables.insert("/home/ada/.local/bin/tarnwick"); // not preferred: not a build tree
    relauncher.relaunch();
    ASSERT_EQ(shell.spawns.size(), 1u);
    EXPECT_EQ(shell.spawns[0].path, "/usr/bin/tarnwick");
    EXPECT_EQ(shell.spawns[0].args, (std::vector<std::string>{"--wait-for-instance"}));
    EXPECT_EQ(lines, (std::vector<std::string>{"[twk] relaunching → /usr/bin/tarnwick"}));

    loop.advance(seconds(0.49));
    EXPECT_EQ(shell.terminations, 0);
    loop.advance(seconds(0.01));
    EXPECT_EQ(shell.terminations, 1);
}

TEST_F(RelauncherTest, ABuildTreeBinaryPrefersTheInstalledCopyWhenThereIsOne)
{
    shell.exePath = "/src/tarnwick/build/default/src/tarnwick";
    shell.buildTrees.insert("/src/tarnwick/build/");
    EXPECT_EQ(relauncher.chosenPath(), "/src/tarnwick/build/default/src/tarnwick");
    shell.executables.insert("/home/ada/.local/bin/tarnwick");
    relauncher.relaunch();
    ASSERT_EQ(shell.spawns.size(), 1u);
    EXPECT_EQ(shell.spawns[0].path, "/home/ada/.local/bin/tarnwick");
}

TEST_F(RelauncherTest, AFailedSpawnIsLoggedAndTheAppStillQuits)
{
    shell.spawnFailure = "No such file or directory";
    relauncher.relaunch();
    EXPECT_EQ(lines, (std::vector<std::string>{"[twk] relaunching → /usr/bin/tarnwick",
                                               "[twk] relaunch spawn failed: No such file or directory"}));
    loop.advance(seconds(1));
    EXPECT_EQ(shell.terminations, 1);
}

} // namespace
} // namespace twk
