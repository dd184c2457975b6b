#include "platform/linux/x11_display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

namespace twk {
namespace {

int ignoreXError(Display*, XErrorEvent*) { return 0; }

} // namespace

std::optional<std::string> x11DisplayProblem()
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return "no X11 display: DISPLAY is not set";
    Display* display = XOpenDisplay(name);
    if (display == nullptr) return std::string("cannot connect to the X11 display \"") + name + "\"";
    XCloseDisplay(display);
    return std::nullopt;
}

bool x11CanReadScreen()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    // Xlib's default handler exits the process on a protocol error.
    auto* previous = XSetErrorHandler(ignoreXError);
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, 1, 1, AllPlanes, ZPixmap);
    XSync(display, False);
    XSetErrorHandler(previous);
    const bool ok = image != nullptr;
    if (image != nullptr) XDestroyImage(image);
    XCloseDisplay(display);
    return ok;
}

} // namespace twk
