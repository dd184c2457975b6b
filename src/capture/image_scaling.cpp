#include "capture/image_scaling.h"

#include <algorithm>
#include <cmath>

namespace twk {

ImageSize downscaledSize(int width, int height, int maxLongEdge)
{
    const int longEdge = std::max(width, height);
    if (longEdge <= maxLongEdge) return {width, height};
    const double scale = static_cast<double>(maxLongEdge) / longEdge;
    // std::lround rounds half away from zero.
    return {std::max(1, static_cast<int>(std::lround(scale * width))),
            std::max(1, static_cast<int>(std::lround(scale * height)))};
}

namespace {

/// `image` drawn at `size` with bilinear sampling.
CairoSurface resampled(cairo_surface_t* image, ImageSize size)
{
    CairoSurface target(cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height));
    if (!usable(target)) return nullptr;
    const CairoContext cr(cairo_create(target.get()));
    cairo_scale(cr.get(), static_cast<double>(size.width) / cairo_image_surface_get_width(image),
                static_cast<double>(size.height) / cairo_image_surface_get_height(image));
    cairo_set_source_surface(cr.get(), image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    cairo_surface_flush(target.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    return target;
}

} // namespace

CairoSurface downscaled(cairo_surface_t* image, int maxLongEdge)
{
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    const ImageSize size = downscaledSize(width, height, maxLongEdge);
    if (size == ImageSize{width, height}) return nullptr;

    // Bilinear sampling weighs every source pixel as long as each step
    // shrinks by at most half, and halving exactly averages 2x2 blocks: so
    // halve while more than half must go, then take the last step. As sharp
    // as an averaging filter, at a fraction of the cost of cairo's own.
    CairoSurface current;
    ImageSize at{width, height};
    while (at.width > 2 * size.width && at.height > 2 * size.height) {
        at = {(at.width + 1) / 2, (at.height + 1) / 2};
        current = resampled(current ? current.get() : image, at);
        if (!current) return nullptr;
    }
    return resampled(current ? current.get() : image, size);
}

} // namespace twk
