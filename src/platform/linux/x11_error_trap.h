#pragma once

#include <X11/Xlib.h>

namespace twk {

/// Replaces Xlib's default error handler, which ends the process, with one
/// that ignores the error (a window that closed while we looked at it).
/// Idempotent.
void installQuietXErrorHandler();

/// Syncs `display` when it goes out of scope, so that errors of the calls
/// made meanwhile arrive (and are ignored) before the caller moves on.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display) : display_(display) {}
    ~XErrorTrap() { XSync(display_, False); }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

private:
    Display* display_;
};

} // namespace twk
