#include "capture/debug_screenshots.h"
#include "common/log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

namespace twk {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono;

class DebugScreenshotsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("twk-debug-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
    const system_clock::time_point start = sys_days{year{2026} / 12 / 7} + hours(9) + minutes(3) + seconds(4);
};

TEST_F(DebugScreenshotsTest, NamedByUtcTimeAndPrivateToTheUser)
{
    DebugScreenshots shots(root / "tarnwick" / "screenshots");
    const fs::path first = shots.save("png-bytes", start + milliseconds(250));
    const fs::path again = shots.save("other", start + milliseconds(900));

    EXPECT_EQ(first.filename(), "2026-12-07T09-03-04Z.png");
    EXPECT_NE(again, first) << "a second capture in the same second overwrote the first";
    EXPECT_EQ(fs::file_size(first), 9u);
    EXPECT_EQ(fs::status(shots.dir()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(first).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(DebugScreenshotsTest, KeepsTheNewestThirty)
{
    DebugScreenshots shots(root);
    fs::create_directories(root);
    const auto oldest = fs::file_time_type::clock::now() - hours(1);
    for (int i = 0; i < 31; ++i) {
        const fs::path path = root / ("old-" + std::to_string(i) + ".png");
        std::ofstream(path) << "x";
        fs::last_write_time(path, oldest + minutes(i));
    }
    const fs::path newest = shots.save("png", start);

    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 30);
    EXPECT_TRUE(fs::exists(newest));
    EXPECT_FALSE(fs::exists(root / "old-0.png"));
    EXPECT_FALSE(fs::exists(root / "old-1.png"));
    EXPECT_TRUE(fs::exists(root / "old-2.png"));
}

TEST_F(DebugScreenshotsTest, UnwritableFolderIsLoggedNotThrown)
{
    std::vector<std::string> logged;
    const LogCapture capture([&](const std::string& line) { logged.push_back(line); });
    fs::create_directories(root);
    std::ofstream(root / "file") << "x";
    DebugScreenshots shots(root / "file" / "screenshots");

    EXPECT_TRUE(shots.save("png", start).empty());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("[twk] screenshot save failed: ", 0), 0u);
}

} // namespace
} // namespace twk
