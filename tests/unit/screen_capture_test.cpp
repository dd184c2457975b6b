#include "capture/marks_overlay.h"
#include "capture/screen_capture.h"
#include "common/log.h"
#include "fakes/decoded_png.h"
#include "fakes/fake_screen.h"
#include "fakes/fake_workspace.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace twk {
namespace {
namespace fs = std::filesystem;
using test::FakeScreen;
using test::DecodedPNG;
using test::FakeWorkspace;

MarkedElement markAt(int id, int x, int y, int width, int height)
{
    MarkedElement mark;
    mark.id = id;
    mark.x = x;
    mark.y = y;
    mark.width = width;
    mark.height = height;
    return mark;
}

/// The badge fill: yellow at 95 % over whatever was below.
bool isBadgeYellow(uint32_t rgb)
{
    const uint32_t r = rgb >> 16, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
    return r > 0xf0 && g > 0xc8 && g < 0xe0 && b < 0x20;
}

class ScreenCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("twk-shots-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        screen.displayList = {{"DP-1", {0, 0, 1440, 900}, 1}, {"DP-2", {1440, 0, 1024, 768}, 1}};
    }
    void TearDown() override { fs::remove_all(dir); }

    ScreenCapture capture()
    {
        return ScreenCapture({screen, workspace, geometry, dir, [this] { return now; }});
    }

    fs::path dir;
    FakeScreen screen;
    FakeWorkspace workspace;
    CaptureGeometry geometry;
    std::chrono::system_clock::time_point now = std::chrono::sys_days{std::chrono::year{2026} / 12 / 7} +
                                                std::chrono::hours(12) + std::chrono::minutes(5);
    std::vector<std::string> logged;
    LogCapture logs{[this](const std::string& line) { logged.push_back(line); }};
};

TEST_F(ScreenCaptureTest, LargeDisplayIsShrunkAndItsGeometryKept)
{
    screen.pointer = ScreenPoint{100, 100};
    const auto image = capture().captureScreenPNG();

    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 1280);
    EXPECT_EQ(image->height, 800);
    const DecodedPNG png(image->png);
    EXPECT_EQ(png.width(), 1280);
    EXPECT_EQ(png.height(), 800);
    EXPECT_DOUBLE_EQ(geometry.lastImageScale.x, 1280.0 / 1440);
    EXPECT_DOUBLE_EQ(geometry.lastImageScale.y, 800.0 / 900);
    EXPECT_EQ(geometry.lastBounds.width, 1440);
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.front(), "[twk] screen captured: image=1280x800 (raw 1440x900) cgBounds=(0.0, 0.0, 1440.0, 900.0) "
                              "scale=(0.888889,0.888889) \u2014 display DP-1");
    // A click at the image's centre pixel lands at the display's centre.
    const ScreenPoint centre = geometry.toScreen(640, 400);
    EXPECT_DOUBLE_EQ(centre.x, 720);
    EXPECT_DOUBLE_EQ(centre.y, 450);
}

TEST_F(ScreenCaptureTest, SmallDisplayIsSentAsItIs)
{
    screen.pointer = ScreenPoint{1500, 10};
    const auto image = capture().captureScreenPNG();

    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 1024);
    EXPECT_EQ(image->height, 768);
    EXPECT_EQ(geometry.lastBounds.x, 1440);
    EXPECT_DOUBLE_EQ(geometry.lastImageScale.x, 1);
    EXPECT_DOUBLE_EQ(geometry.lastImageScale.y, 1);
    // The fake marks the centre pixel: the image is the screen's, unscaled.
    EXPECT_EQ(DecodedPNG(image->png).rgb(512, 384), screen.marker & 0xffffff);
}

TEST_F(ScreenCaptureTest, DenserPixelsThanPointsMapBackToPoints)
{
    screen.displayList = {{"eDP-1", {0, 0, 600, 400}, 2}};
    screen.pixelsPerPoint = 2;
    const auto image = capture().captureWithMarks({markAt(1, 290, 190, 20, 20)});

    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 1200);
    EXPECT_DOUBLE_EQ(geometry.lastImageScale.x, 2);
    const ScreenPoint p = geometry.toScreen(600, 400);
    EXPECT_DOUBLE_EQ(p.x, 300);
    EXPECT_DOUBLE_EQ(p.y, 200);
    // The badge sits on the mark at image pixels, 14 px in radius (2 x 20 x 0.35).
    EXPECT_TRUE(isBadgeYellow(DecodedPNG(image->png).rgb(600 - 12, 400)));
}

TEST_F(ScreenCaptureTest, FailedCaptureKeepsThePreviousGeometry)
{
    screen.pointer = ScreenPoint{1500, 10};
    ASSERT_TRUE(capture().captureScreenPNG());
    screen.pointer = ScreenPoint{10, 10};
    screen.captureFails = true;

    EXPECT_FALSE(capture().captureScreenPNG());
    EXPECT_EQ(geometry.lastBounds.x, 1440);
    EXPECT_DOUBLE_EQ(geometry.lastImageScale.x, 1);

    screen.displayList.clear();
    EXPECT_FALSE(capture().captureWithMarks({}));
}

TEST_F(ScreenCaptureTest, OnlyMarksOnTheCapturedDisplayGetBadges)
{
    screen.pointer = ScreenPoint{1500, 10}; // the second display, at scale 1
    const auto marks = {markAt(1, 1440 + 100, 100, 40, 40), markAt(2, 700, 100, 40, 40)};
    const auto image = capture().captureWithMarks(marks);

    ASSERT_TRUE(image);
    EXPECT_EQ(logged.back(), "[twk] SoM captured: 1 of 2 marks visible on display");
    const DecodedPNG png(image->png);
    // Yellow inside the first badge, beside its digit; the grey of the
    // screen outside it.
    EXPECT_TRUE(isBadgeYellow(png.rgb(120 - 11, 120)));
    EXPECT_EQ(png.rgb(120 - 16, 120), 0x808080u);
    EXPECT_LT(png.rgb(120 - 14, 120) >> 16, 0x60u) << "black outline";
}

TEST(MarksOverlayTest, BadgeRadiusStaysWithinLimits)
{
    EXPECT_DOUBLE_EQ(badgePlacement(markAt(1, 0, 0, 10, 10), {0, 0}, {1, 1}).radius, 11);
    EXPECT_DOUBLE_EQ(badgePlacement(markAt(1, 0, 0, 200, 100), {0, 0}, {1, 1}).radius, 18);
    EXPECT_DOUBLE_EQ(badgePlacement(markAt(1, 0, 0, 40, 60), {0, 0}, {1, 1}).radius, 14);
    const auto placed = badgePlacement(markAt(1, 1540, 100, 40, 60), {1440, 0}, {0.5, 0.5});
    EXPECT_DOUBLE_EQ(placed.cx, 60);
    EXPECT_DOUBLE_EQ(placed.cy, 65);
}

} // namespace
} // namespace twk
