#pragma once

#include "platform/input.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// A rectangle in global screen points: origin at the top left of the main
/// display, y downwards.
struct ScreenRect {
    double x = 0, y = 0, width = 0, height = 0;

    /// Left and top edges inside, right and bottom edges outside.
    bool contains(ScreenPoint p) const { return p.x >= x && p.x < x + width && p.y >= y && p.y < y + height; }
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

/// One monitor of the desktop.
struct DisplayInfo {
    /// The name the desktop shows for it ("DP-1", "HDMI-1", ...).
    std::string name;
    ScreenRect bounds;
    /// Device pixels per point, for information: captures report their own
    /// pixel size.
    double scale = 1;
};

/// One window visible on screen.
struct ScreenWindow {
    int ownerPid = 0;
    /// 0 for an ordinary application window; docks, panels, the desktop
    /// background and overlays play other layers.
    int layer = 0;
    ScreenRect bounds;
};

/// Pixels of a captured region: 32 bits per pixel, in the native byte order
/// of 0xAARRGGBB words (opaque: alpha 0xff), rows `stride` bytes apart.
struct PixelImage {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<uint8_t> data;
};

/// The monitors, the windows on them, the pointer and the pixels on screen.
///
/// On X11 the global unit is the X pixel: a point is one pixel, also when
/// the desktop asks applications to draw at a scale (GDK_SCALE, Xft.dpi),
/// because window positions, accessibility frames and synthesised clicks
/// all come in X pixels there. Implementations are callable from any
/// thread; each call blocks only for the display server's answer.
class Screen {
public:
    virtual ~Screen() = default;

    /// Every monitor, the main one first; empty when none can be read.
    virtual std::vector<DisplayInfo> displays() = 0;
    /// The windows shown on screen, front to back.
    virtual std::vector<ScreenWindow> windowsFrontToBack() = 0;
    virtual std::optional<ScreenPoint> pointerLocation() = 0;
    /// What the screen shows in `region` (nothing on failure). The image may
    /// hold more pixels than the region has points.
    virtual std::optional<PixelImage> capture(const ScreenRect& region) = 0;
};

} // namespace twk
