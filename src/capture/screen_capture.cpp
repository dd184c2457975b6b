#include "capture/screen_capture.h"

#include "capture/cairo_surface.h"
#include "capture/display_choice.h"
#include "capture/image_scaling.h"
#include "capture/marks_overlay.h"
#include "capture/png_encoding.h"
#include "common/log.h"

#include <cstdio>

namespace twk {

struct ScreenCapture::Shot {
    DisplayInfo display;
    PixelImage raw;
    CairoSurface rawSurface;   // over raw's pixels
    CairoSurface scaled;       // null when the raw image fits already
    CaptureGeometry::Scale scale;

    cairo_surface_t* image() const { return scaled ? scaled.get() : rawSurface.get(); }
};

namespace {

std::string formatCaptureLog(const DisplayInfo& display, const PixelImage& raw, int width, int height,
                             CaptureGeometry::Scale scale)
{
    const ScreenRect& b = display.bounds;
    char text[256];
    std::snprintf(text, sizeof text, "image=%dx%d (raw %dx%d) cgBounds=(%.1f, %.1f, %.1f, %.1f) scale=(%g,%g", width,
                  height, raw.width, raw.height, b.x, b.y, b.width, b.height, scale.x, scale.y);
    return std::string("[twk] screen captured: ") + text + ") \u2014 display " + display.name;
}

} // namespace

std::optional<ScreenCapture::Shot> ScreenCapture::takeShot(bool logIt)
{
    auto display = chooseDisplay(s_.screen, s_.workspace);
    if (!display) return std::nullopt;
    auto raw = s_.screen.capture(display->bounds);
    if (!raw) return std::nullopt;

    Shot shot{*display, std::move(*raw), nullptr, nullptr, {}};
    shot.rawSurface = surfaceOver(shot.raw);
    if (!usable(shot.rawSurface)) return std::nullopt;
    shot.scaled = downscaled(shot.rawSurface.get(), maxImageLongEdge);
    if (shot.scaled == nullptr &&
        downscaledSize(shot.raw.width, shot.raw.height, maxImageLongEdge) != ImageSize{shot.raw.width, shot.raw.height})
        return std::nullopt; // too large to send and could not be shrunk

    const int width = cairo_image_surface_get_width(shot.image());
    const int height = cairo_image_surface_get_height(shot.image());
    const ScreenRect& bounds = shot.display.bounds;
    shot.scale = {bounds.width > 0 ? width / bounds.width : 1.0, bounds.height > 0 ? height / bounds.height : 1.0};
    s_.geometry.lastBounds = {bounds.x, bounds.y, bounds.width, bounds.height};
    s_.geometry.lastImageScale = shot.scale;
    if (logIt) logLine(formatCaptureLog(shot.display, shot.raw, width, height, shot.scale));
    return shot;
}

std::optional<CapturedImage> ScreenCapture::finish(Shot& shot)
{
    auto png = encodePNG(shot.image());
    if (!png) return std::nullopt;
    debug_.save(*png, s_.clock());
    return CapturedImage{std::move(*png), cairo_image_surface_get_width(shot.image()),
                         cairo_image_surface_get_height(shot.image())};
}

std::optional<CapturedImage> ScreenCapture::captureScreenPNG()
{
    auto shot = takeShot(true);
    if (!shot) return std::nullopt;
    return finish(*shot);
}

std::optional<CapturedImage> ScreenCapture::captureWithMarks(const std::vector<MarkedElement>& marks)
{
    auto shot = takeShot(false);
    if (!shot) return std::nullopt;
    std::vector<MarkedElement> visible;
    for (const auto& mark : marks)
        if (markCentreInside(mark, shot->display.bounds)) visible.push_back(mark);

    const ScreenPoint origin{shot->display.bounds.x, shot->display.bounds.y};
    if (!drawMarksOverlay(shot->image(), visible, origin, shot->scale))
        logLine("[twk] screenshot badges could not be drawn; sending it without");
    auto image = finish(*shot);
    if (!image) return std::nullopt;
    logLine("[twk] SoM captured: " + std::to_string(visible.size()) + " of " + std::to_string(marks.size()) +
            " marks visible on display");
    return image;
}

} // namespace twk
