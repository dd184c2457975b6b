#include "platform/linux/qt_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace twk {
namespace {

TEST(QtSettings, LivesInTheXdgConfigFolderAndSurvivesARestart)
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(config, nullptr) << "run under tests/harness/desktop.sh";
    EXPECT_EQ(QtSettings::defaultFilePath(), std::string(config) + "/tarnwick/tarnwick.conf");

    const std::string path = std::string(config) + "/settings-test/tarnwick.conf";
    const std::string awkward = "a=b; [section]\n\"quoted\" \\ ünïcødé 🎤";
    {
        QtSettings s(path);
        EXPECT_FALSE(s.string("twk.voice").has_value());
        s.setString("twk.voice", "ballad");
        s.setString("twk.micDeviceID", awkward);
        s.setString("twk.verbosity", "");
        s.setString("twk.userId", "gone");
        s.remove("twk.userId");
        // Written through before the call returned, not at destruction.
        EXPECT_TRUE(std::filesystem::exists(path));
        QtSettings other(path);
        EXPECT_EQ(other.string("twk.voice"), "ballad");
    }
    QtSettings reopened(path);
    EXPECT_EQ(reopened.string("twk.voice"), "ballad");
    EXPECT_EQ(reopened.string("twk.micDeviceID"), awkward);
    EXPECT_EQ(reopened.string("twk.verbosity"), ""); // empty is kept apart from absent
    EXPECT_FALSE(reopened.string("twk.userId").has_value());
}

TEST(QtSettings, ConcurrentUseFromSeveralThreadsIsSafe)
{
    const std::string path = std::string(std::getenv("XDG_CONFIG_HOME")) + "/settings-threads/tarnwick.conf";
    QtSettings s(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&s, t] {
            for (int i = 0; i < 25; ++i) {
                s.setString("k" + std::to_string(t), std::to_string(i));
                (void)s.string("k" + std::to_string((t + 1) % 4));
            }
        });
    for (auto& th : threads) th.join();
    QtSettings reopened(path);
    for (int t = 0; t < 4; ++t) EXPECT_EQ(reopened.string("k" + std::to_string(t)), "24");
}

} // namespace
} // namespace twk
