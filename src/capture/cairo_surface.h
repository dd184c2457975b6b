#pragma once

#include "platform/screen.h"

#include <cairo.h>

#include <memory>

namespace twk {

struct CairoSurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
/// An owned cairo image surface; null or in error when it could not be made.
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;

struct CairoContextRelease {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using CairoContext = std::unique_ptr<cairo_t, CairoContextRelease>;

/// Whether `surface` exists and can be drawn on and read.
bool usable(const CairoSurface& surface);

/// A surface drawing straight on `image`'s pixels (opaque RGB); `image`
/// must outlive it and keep its buffer.
CairoSurface surfaceOver(PixelImage& image);

} // namespace twk
