#include "capture/png_encoding.h"

#include <png.h>

namespace twk {
namespace {

// Fast settings: a screenshot is encoded for every look at the screen, and
// the strongest compression costs four times as long for a file 10 % smaller.
constexpr int compressionLevel = 3;
constexpr int rowFilter = PNG_FILTER_UP;

void append(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void flush(png_structp) {}
void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

/// Writes rows of native 0xXXRRGGBB words as 8-bit RGB. Only plain values
/// live in this frame: libpng reports errors by jumping back into it.
bool writeRows(std::string* out, const unsigned char* pixels, int width, int height, int stride)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignoreWarning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, append, flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, compressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, rowFilter);
    png_write_info(png, info);
    // In memory a pixel is the word 0xXXRRGGBB: bytes B, G, R, X on a
    // little-endian machine, X, R, G, B on a big-endian one.
    const uint16_t probe = 1;
    if (*reinterpret_cast<const uint8_t*>(&probe) == 1) {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < height; ++y)
        png_write_row(png, pixels + static_cast<size_t>(y) * static_cast<size_t>(stride));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::optional<std::string> encodePNG(cairo_surface_t* image)
{
    cairo_surface_flush(image);
    const cairo_format_t format = cairo_image_surface_get_format(image);
    const unsigned char* pixels = cairo_image_surface_get_data(image);
    if (pixels == nullptr || (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32)) return std::nullopt;
    std::string png;
    if (!writeRows(&png, pixels, cairo_image_surface_get_width(image), cairo_image_surface_get_height(image),
                   cairo_image_surface_get_stride(image)) ||
        png.empty())
        return std::nullopt;
    return png;
}

} // namespace twk
