#pragma once

#include <cairo.h>

#include <optional>
#include <string>

namespace twk {

/// `image` (opaque: RGB24, or ARGB32 whose alpha is dropped) as 8-bit RGB
/// PNG bytes; nothing when it cannot be encoded.
std::optional<std::string> encodePNG(cairo_surface_t* image);

} // namespace twk
