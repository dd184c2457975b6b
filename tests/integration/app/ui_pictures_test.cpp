// Pictures of the HUD and the popover in each session status, kept as test
// artefacts under the build folder (artefacts/ui), with the status colour
// checked where it must show: the orb's core and the panel's border.

#include "integration/process_helpers.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>

namespace twk::test {
namespace {

enum class Hue { gray, yellow, lime, red };

// Which of the status colours `c` is, judged by its shape rather than exact
// values; nullopt when it is none of them. A dimmed colour is judged at full
// brightness.
std::optional<Hue> hueOf(QColor c)
{
    const int top = std::max({c.red(), c.green(), c.blue()});
    if (top < 40) return std::nullopt;
    const double k = 255.0 / top;
    const int r = static_cast<int>(c.red() * k), g = static_cast<int>(c.green() * k), b = static_cast<int>(c.blue() * k);
    if (std::max({r, g, b}) - std::min({r, g, b}) < 20) return Hue::gray;
    if (r > 230 && g > 170 && g < 230 && b < 60) return Hue::yellow;
    if (g > 240 && r > 170 && r < 220 && b < 100) return Hue::lime;
    if (r > 230 && g < 90 && b < 90) return Hue::red;
    return std::nullopt;
}

TEST(UiPictures, EachStatusShowsItsColourAtTheOrbAndTheBorder)
{
    const std::string dir = UI_ARTEFACTS_DIR;
    std::filesystem::create_directories(dir);
    ChildProcess showcase(UI_SHOWCASE, {dir});
    ASSERT_EQ(showcase.waitForExit(std::chrono::seconds(30)), 0) << showcase.output();

    const std::pair<const char*, Hue> statuses[] = {
        {"off", Hue::gray}, {"connecting", Hue::yellow}, {"listening", Hue::lime},
        {"acting", Hue::lime}, {"error", Hue::red}};
    for (const auto& [status, hue] : statuses) {
        SCOPED_TRACE(status);
        const QImage hud(QString::fromStdString(dir + "/hud-" + status + ".png"));
        ASSERT_FALSE(hud.isNull());
        // The orb's solid core sits 17 points in from the panel's padding corner.
        EXPECT_EQ(hueOf(hud.pixelColor(14 + 17, 12 + 17)), hue);
        EXPECT_EQ(hueOf(hud.pixelColor(hud.width() / 2, 0)), hue) << "top border";
        EXPECT_EQ(hueOf(hud.pixelColor(hud.width() - 1, hud.height() / 2)), hue) << "right border";
        // Inside, the panel is near-black whatever the status.
        EXPECT_LT(hud.pixelColor(hud.width() / 2, hud.height() - 6).lightness(), 30);

        const QImage popover(QString::fromStdString(dir + "/popover-" + status + ".png"));
        ASSERT_FALSE(popover.isNull());
        EXPECT_EQ(popover.width(), 320);
    }
    EXPECT_EQ(QImage(QString::fromStdString(dir + "/hud-acting.png")).width(), 560); // the plan widens it
}

} // namespace
} // namespace twk::test
