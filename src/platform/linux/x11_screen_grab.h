#pragma once

#include "platform/screen.h"

#include <cstddef>
#include <optional>

struct xcb_connection_t;

namespace twk {

/// Reads pixels of the root window of one connection: through a shared
/// memory segment (MIT-SHM) when the server offers it, which spares copying
/// megabytes through the socket, else with a plain image request. The
/// segment is kept and reused, grown only for a larger region. Not
/// thread-safe: the owner serialises calls.
class X11ScreenGrab {
public:
    X11ScreenGrab(xcb_connection_t* connection, uint32_t root);
    ~X11ScreenGrab();
    X11ScreenGrab(const X11ScreenGrab&) = delete;
    X11ScreenGrab& operator=(const X11ScreenGrab&) = delete;

    /// The pixels of `region` (root coordinates, clipped to the screen);
    /// nothing when the region is empty or the read failed. Only 24- and
    /// 32-bit true-colour screens in this machine's byte order are read.
    std::optional<PixelImage> grab(const ScreenRect& region);
    /// Whether the last successful grab went through shared memory.
    bool usedSharedMemory() const { return usedShm_; }

private:
    struct Segment {
        uint32_t id = 0; // the server's name for it
        int shmId = -1;
        void* address = nullptr;
        size_t size = 0;
    };
    bool ensureSegment(size_t size);
    void releaseSegment();
    std::optional<PixelImage> grabShared(int x, int y, int width, int height);
    std::optional<PixelImage> grabPlain(int x, int y, int width, int height);

    xcb_connection_t* c_;
    uint32_t root_;
    int rootWidth_ = 0, rootHeight_ = 0;
    bool formatSupported_ = false;
    bool shmAvailable_ = false;
    bool usedShm_ = false;
    Segment segment_;
};

} // namespace twk
