#pragma once

#include <cairo.h>

#include <optional>
#include <string>

namespace twk {

/// `image` as PNG bytes; nothing when it cannot be encoded.
std::optional<std::string> encodePNG(cairo_surface_t* image);

} // namespace twk
