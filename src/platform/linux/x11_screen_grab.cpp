#include "platform/linux/x11_screen_grab.h"

#include "platform/linux/xcb_reply.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace twk {
namespace {

constexpr uint32_t allPlanes = ~0u;

bool nativeByteOrder(const xcb_setup_t* setup)
{
    const uint16_t probe = 1;
    const bool littleEndian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
    return (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) == littleEndian;
}

/// Whether the screen's depth stores one 32-bit word per pixel, rows padded
/// to 32 bits: exactly the layout cairo's RGB24 reads.
bool thirtyTwoBitPixels(const xcb_setup_t* setup, uint8_t depth)
{
    if (depth != 24 && depth != 32) return false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f))
        if (f.data->depth == depth) return f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
    return false;
}

PixelImage imageFrom(const uint8_t* pixels, int width, int height)
{
    PixelImage image;
    image.width = width;
    image.height = height;
    image.stride = width * 4;
    image.data.assign(pixels, pixels + static_cast<size_t>(image.stride) * height);
    return image;
}

} // namespace

X11ScreenGrab::X11ScreenGrab(xcb_connection_t* connection, uint32_t root) : c_(connection), root_(root)
{
    const xcb_setup_t* setup = xcb_get_setup(c_);
    for (auto s = xcb_setup_roots_iterator(setup); s.rem > 0; xcb_screen_next(&s)) {
        if (s.data->root != root_) continue;
        rootWidth_ = s.data->width_in_pixels;
        rootHeight_ = s.data->height_in_pixels;
        formatSupported_ = nativeByteOrder(setup) && thirtyTwoBitPixels(setup, s.data->root_depth);
    }
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c_, &xcb_shm_id);
    if (shm != nullptr && shm->present != 0) {
        Reply<xcb_shm_query_version_reply_t> version(xcb_shm_query_version_reply(c_, xcb_shm_query_version(c_), nullptr));
        shmAvailable_ = version != nullptr;
    }
}

X11ScreenGrab::~X11ScreenGrab() { releaseSegment(); }

void X11ScreenGrab::releaseSegment()
{
    if (segment_.address == nullptr) return;
    xcb_shm_detach(c_, segment_.id);
    xcb_flush(c_);
    shmdt(segment_.address);
    segment_ = {};
}

bool X11ScreenGrab::ensureSegment(size_t size)
{
    if (segment_.address != nullptr && segment_.size >= size) return true;
    releaseSegment();
    const int shmId = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (shmId < 0) return false;
    void* address = shmat(shmId, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(shmId, IPC_RMID, nullptr);
        return false;
    }
    const uint32_t id = xcb_generate_id(c_);
    const Reply<xcb_generic_error_t> error(
        xcb_request_check(c_, xcb_shm_attach_checked(c_, id, static_cast<uint32_t>(shmId), 0)));
    // Marked for removal now: it goes away when both sides have detached,
    // also if this process dies.
    shmctl(shmId, IPC_RMID, nullptr);
    if (error) {
        shmdt(address);
        shmAvailable_ = false; // a remote server: it cannot see our memory
        return false;
    }
    segment_ = {id, shmId, address, size};
    return true;
}

std::optional<PixelImage> X11ScreenGrab::grabShared(int x, int y, int width, int height)
{
    const size_t size = static_cast<size_t>(width) * 4 * height;
    if (!ensureSegment(size)) return std::nullopt;
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        c_,
        xcb_shm_get_image(c_, root_, static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(width),
                          static_cast<uint16_t>(height), allPlanes, XCB_IMAGE_FORMAT_Z_PIXMAP, segment_.id, 0),
        &error));
    std::free(error);
    if (!reply) return std::nullopt;
    return imageFrom(static_cast<const uint8_t*>(segment_.address), width, height);
}

std::optional<PixelImage> X11ScreenGrab::grabPlain(int x, int y, int width, int height)
{
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c_,
        xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<int16_t>(x), static_cast<int16_t>(y),
                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), allPlanes),
        &error));
    std::free(error);
    if (!reply) return std::nullopt;
    const size_t expected = static_cast<size_t>(width) * 4 * height;
    if (static_cast<size_t>(xcb_get_image_data_length(reply.get())) < expected) return std::nullopt;
    return imageFrom(xcb_get_image_data(reply.get()), width, height);
}

std::optional<PixelImage> X11ScreenGrab::grab(const ScreenRect& region)
{
    if (!formatSupported_) return std::nullopt;
    // Whole pixels of the region that lie on the screen.
    const int left = std::max(0, static_cast<int>(std::floor(region.x)));
    const int top = std::max(0, static_cast<int>(std::floor(region.y)));
    const int right = std::min(rootWidth_, static_cast<int>(std::ceil(region.x + region.width)));
    const int bottom = std::min(rootHeight_, static_cast<int>(std::ceil(region.y + region.height)));
    if (right <= left || bottom <= top) return std::nullopt;

    usedShm_ = false;
    if (shmAvailable_) {
        if (auto image = grabShared(left, top, right - left, bottom - top)) {
            usedShm_ = true;
            return image;
        }
    }
    return grabPlain(left, top, right - left, bottom - top);
}

} // namespace twk
