#pragma once

// Reading back the PNG bytes a screenshot produced, to look at its pixels.

#include "capture/cairo_surface.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace twk::test {

class DecodedPNG {
public:
    explicit DecodedPNG(const std::string& png)
    {
        std::string_view rest(png);
        surface_.reset(cairo_image_surface_create_from_png_stream(readChunk, &rest));
    }
    bool valid() const { return usable(surface_); }
    int width() const { return cairo_image_surface_get_width(surface_.get()); }
    int height() const { return cairo_image_surface_get_height(surface_.get()); }
    /// The pixel at (x, y), truncated to whole pixels, as 0xRRGGBB.
    uint32_t rgb(double x, double y) const
    {
        const auto* row = cairo_image_surface_get_data(surface_.get()) +
                          static_cast<int>(y) * cairo_image_surface_get_stride(surface_.get());
        return reinterpret_cast<const uint32_t*>(row)[static_cast<int>(x)] & 0xffffff;
    }

private:
    static cairo_status_t readChunk(void* closure, unsigned char* data, unsigned int length)
    {
        auto* rest = static_cast<std::string_view*>(closure);
        if (rest->size() < length) return CAIRO_STATUS_READ_ERROR;
        std::copy_n(rest->data(), length, data);
        rest->remove_prefix(length);
        return CAIRO_STATUS_SUCCESS;
    }

    CairoSurface surface_;
};

} // namespace twk::test
