#pragma once

#include "platform/screen.h"

#include <cmath>

namespace twk::test {

/// Monitors, windows and a pointer set by the test. A capture is a grey
/// image of the region at `pixelsPerPoint`, with one pixel of `marker`
/// colour at the region's centre.
class FakeScreen : public Screen {
public:
    std::vector<DisplayInfo> displayList;
    std::vector<ScreenWindow> windows;
    std::optional<ScreenPoint> pointer;
    double pixelsPerPoint = 1;
    bool captureFails = false;
    uint32_t marker = 0xff00ff00;

    std::vector<ScreenRect> captured;

    std::vector<DisplayInfo> displays() override { return displayList; }
    std::vector<ScreenWindow> windowsFrontToBack() override { return windows; }
    std::optional<ScreenPoint> pointerLocation() override { return pointer; }
    std::optional<PixelImage> capture(const ScreenRect& region) override
    {
        captured.push_back(region);
        if (captureFails) return std::nullopt;
        PixelImage image;
        image.width = static_cast<int>(std::lround(region.width * pixelsPerPoint));
        image.height = static_cast<int>(std::lround(region.height * pixelsPerPoint));
        image.stride = image.width * 4;
        image.data.assign(static_cast<size_t>(image.stride) * image.height, 0x80);
        pixel(image, image.width / 2, image.height / 2) = marker;
        return image;
    }

    static uint32_t& pixel(PixelImage& image, int x, int y)
    {
        return *reinterpret_cast<uint32_t*>(image.data.data() + static_cast<size_t>(y) * image.stride + x * 4);
    }
};

} // namespace twk::test
