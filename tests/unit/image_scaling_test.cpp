#include "capture/image_scaling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace twk {
namespace {

TEST(ImageScalingTest, LongerEdgeCappedWithHalvesRoundedUp)
{
    EXPECT_EQ(downscaledSize(1440, 900, 1280), (ImageSize{1280, 800}));
    EXPECT_EQ(downscaledSize(1024, 768, 1280), (ImageSize{1024, 768}));
    EXPECT_EQ(downscaledSize(900, 1440, 1280), (ImageSize{800, 1280}));
    // 1280 / 2560 x 1 = 0.5 rounds away from zero; a sliver keeps one pixel.
    EXPECT_EQ(downscaledSize(2560, 1, 1280), (ImageSize{1280, 1}));
    EXPECT_EQ(downscaledSize(5000, 2, 1280), (ImageSize{1280, 1}));
    EXPECT_EQ(downscaledSize(2560, 1441, 1280), (ImageSize{1280, 721}));
}

TEST(ImageScalingTest, ThinLinesSurviveEveryReduction)
{
    // One-pixel black lines at every offset, on white, shrunk 2x, 3x and 1.5x:
    // none may fall between samples and vanish.
    for (const int width : {2560, 3840, 1920}) {
        CairoSurface image(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, 64));
        auto* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(image.get()));
        const int stride = cairo_image_surface_get_stride(image.get()) / 4;
        std::fill(pixels, pixels + stride * 64, 0xffffffu);
        const int lines[] = {600, 901, 1202, 1503};
        for (const int x : lines)
            for (int y = 0; y < 64; ++y) pixels[y * stride + x] = 0;
        cairo_surface_mark_dirty(image.get());

        const CairoSurface small = downscaled(image.get(), 1280);
        ASSERT_TRUE(usable(small));
        const double ratio = 1280.0 / width;
        const auto* row = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(small.get()) +
                                                            8 * cairo_image_surface_get_stride(small.get()));
        for (const int x : lines) {
            const int at = static_cast<int>(x * ratio);
            uint32_t darkest = 0xff;
            for (int dx = -2; dx <= 2; ++dx) darkest = std::min(darkest, row[at + dx] & 0xff);
            EXPECT_LT(darkest, 0xe0u) << "line at " << x << " lost when shrinking " << width;
        }
    }
}

} // namespace
} // namespace twk
