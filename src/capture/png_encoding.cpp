#include "capture/png_encoding.h"

namespace twk {
namespace {

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::optional<std::string> encodePNG(cairo_surface_t* image)
{
    std::string png;
    if (cairo_surface_write_to_png_stream(image, append, &png) != CAIRO_STATUS_SUCCESS || png.empty())
        return std::nullopt;
    return png;
}

} // namespace twk
