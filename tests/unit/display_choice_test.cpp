#include "capture/display_choice.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

const std::vector<DisplayInfo> twoDisplays{{"DP-1", {0, 0, 1920, 1080}, 1}, {"DP-2", {1920, 0, 1280, 1024}, 1}};
constexpr int front = 42;

std::optional<std::string> chosenName(const std::vector<ScreenWindow>& windows, std::optional<ScreenPoint> pointer)
{
    auto display = frontmostAppScreen(twoDisplays, windows, front);
    if (!display) display = mouseScreen(twoDisplays, pointer);
    if (!display) return std::nullopt;
    return display->name;
}

TEST(DisplayChoiceTest, FrontmostApplicationsLargeNormalWindowDecides)
{
    const std::vector<ScreenWindow> windows{
        {7, 0, {100, 100, 800, 600}},          // another application, in front
        {front, 3, {2000, 100, 800, 600}},     // a dock-like layer of ours
        {front, 0, {2000, 100, 800, 600}},     // on the second display
        {front, 0, {100, 100, 800, 600}},      // further back
    };
    EXPECT_EQ(chosenName(windows, ScreenPoint{10, 10}), "DP-2");
}

TEST(DisplayChoiceTest, SmallOrOffscreenWindowsFallBackToThePointer)
{
    const std::vector<ScreenWindow> narrow{{front, 0, {100, 100, 150, 600}}};
    EXPECT_EQ(chosenName(narrow, ScreenPoint{2500, 500}), "DP-2");
    const std::vector<ScreenWindow> offscreen{{front, 0, {-5000, 100, 800, 600}}};
    EXPECT_EQ(chosenName(offscreen, ScreenPoint{100, 500}), "DP-1");
    EXPECT_EQ(chosenName(narrow, ScreenPoint{-10, -10}), std::nullopt);
}

} // namespace
} // namespace twk
