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

CairoSurface downscaled(cairo_surface_t* image, int maxLongEdge)
{
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    const ImageSize size = downscaledSize(width, height, maxLongEdge);
    if (size == ImageSize{width, height}) return nullptr;

    CairoSurface target(cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height));
    if (!usable(target)) return nullptr;
    const CairoContext cr(cairo_create(target.get()));
    cairo_scale(cr.get(), static_cast<double>(size.width) / width, static_cast<double>(size.height) / height);
    cairo_set_source_surface(cr.get(), image, 0, 0);
    // GOOD averages every source pixel when shrinking (a box filter), at a
    // fraction of BEST's cost.
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    cairo_surface_flush(target.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    return target;
}

} // namespace twk
