#pragma once

// Shrinking screenshots to a size a vision model accepts.

#include "capture/cairo_surface.h"

namespace twk {

/// Screenshots are at most this many pixels along their longer edge.
inline constexpr int maxImageLongEdge = 1280;

struct ImageSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const ImageSize&, const ImageSize&) = default;
};

/// The size of a `width` x `height` image shrunk to at most `maxLongEdge`
/// along its longer edge, keeping its proportions: each side rounded half
/// away from zero and at least 1; unchanged when it already fits.
ImageSize downscaledSize(int width, int height, int maxLongEdge);

/// `image` shrunk to `downscaledSize` so that every source pixel counts
/// (thin lines and small text stay legible); nothing when it already fits
/// or the new surface cannot be made.
CairoSurface downscaled(cairo_surface_t* image, int maxLongEdge);

} // namespace twk
