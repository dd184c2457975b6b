#include "capture/cairo_surface.h"

namespace twk {

bool usable(const CairoSurface& surface)
{
    return surface != nullptr && cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS;
}

CairoSurface surfaceOver(PixelImage& image)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.stride < cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, image.width) ||
        image.data.size() < static_cast<size_t>(image.stride) * static_cast<size_t>(image.height))
        return nullptr;
    return CairoSurface(cairo_image_surface_create_for_data(image.data.data(), CAIRO_FORMAT_RGB24, image.width,
                                                            image.height, image.stride));
}

} // namespace twk
