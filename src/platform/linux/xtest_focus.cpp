#include "platform/linux/xtest_input_device.h"

#include "platform/linux/x11_error_trap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>

// The device's view of the window with the keyboard focus: whose it is, and
// whether it has read what was posted so far.

namespace twk {
namespace {

/// The window `w` sits in, or None when it is gone.
Window parentOf(Display* display, Window w)
{
    Window parentRoot = 0, parent = 0;
    Window* children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(display, w, &parentRoot, &parent, &children, &n)) return None;
    if (children != nullptr) XFree(children);
    return parent;
}

/// The process `w` names in _NET_WM_PID, when it names one.
std::optional<unsigned long> windowPid(Display* display, Window w)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    std::optional<unsigned long> pid;
    if (XGetWindowProperty(display, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && format == 32 && count == 1)
        pid = *reinterpret_cast<unsigned long*>(data);
    if (data != nullptr) XFree(data);
    return pid;
}

} // namespace

bool XTestInputDevice::isOwnWindowAt(ScreenPoint at)
{
    std::lock_guard lock(mutex_);
    if (!connected()) return false;
    const Window root = DefaultRootWindow(display_);
    const int x = static_cast<int>(std::clamp(at.x, -1.0e6, 1.0e6));
    const int y = static_cast<int>(std::clamp(at.y, -1.0e6, 1.0e6));
    XErrorTrap trap(display_); // windows may close while we look
    // Down from the root through the windows under the point (a window
    // manager's frame, then the application's window inside it) to the first
    // that names its process.
    for (Window w = root, child = None;; w = child) {
        int localX = 0, localY = 0;
        if (!XTranslateCoordinates(display_, root, w, x, y, &localX, &localY, &child) || child == None) return false;
        if (const auto pid = windowPid(display_, child)) return *pid == static_cast<unsigned long>(getpid());
    }
}

void XTestInputDevice::drainEvents()
{
    const Atom protocols = XInternAtom(display_, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display_, "_NET_WM_PING", False);
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            keymapStale_ = true;
        }
        if (event.type == ClientMessage && event.xclient.message_type == protocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == ping) {
            const auto ticket = static_cast<uint64_t>(event.xclient.data.l[1]);
            confirmedTicket_ = std::max(confirmedTicket_, ticket);
        }
    }
}

unsigned long XTestInputDevice::pingableFocusWindow()
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    const Atom ping = XInternAtom(display_, "_NET_WM_PING", False);
    const Window root = DefaultRootWindow(display_);
    XErrorTrap trap(display_);
    for (Window w = focus; w != None && w != PointerRoot && w != root;) {
        Atom* list = nullptr;
        int count = 0;
        if (XGetWMProtocols(display_, w, &list, &count) != 0) {
            const bool pings = std::find(list, list + count, ping) != list + count;
            XFree(list);
            if (pings) return w;
        }
        w = parentOf(display_, w);
    }
    return None;
}

std::optional<uint64_t> XTestInputDevice::askTargetToConfirm()
{
    // A window manager's ping: the application answers it when it reads it,
    // that is after every event that reached it before.
    std::lock_guard lock(mutex_);
    if (!connected()) return std::nullopt;
    const Window target = pingableFocusWindow();
    if (target == None) return std::nullopt;
    const Window root = DefaultRootWindow(display_);
    if (!watchingRoot_) {
        // Answers go to the root window, to whoever listens there.
        XSelectInput(display_, root, SubstructureNotifyMask);
        watchingRoot_ = true;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "_NET_WM_PING", False));
    event.xclient.data.l[1] = static_cast<long>(++lastTicket_);
    event.xclient.data.l[2] = static_cast<long>(target);
    XErrorTrap trap(display_);
    XSendEvent(display_, target, False, NoEventMask, &event);
    return lastTicket_;
}

bool XTestInputDevice::targetConfirmed(uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    if (!connected()) return true;
    drainEvents();
    if (confirmedTicket_ < ticket) return false;
    if (ticket == lastTicket_ && watchingRoot_) {
        // Nothing more to wait for: stop hearing about every window's moves.
        XSelectInput(display_, DefaultRootWindow(display_), NoEventMask);
        watchingRoot_ = false;
        drainEvents();
    }
    return true;
}

bool XTestInputDevice::focusIsOwnWindow()
{
    std::lock_guard lock(mutex_);
    if (!connected()) return false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    const Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
    const Window root = DefaultRootWindow(display_);
    XErrorTrap trap(display_); // the window may close while we look
    // The focus may sit on a child of the top-level window that names its process.
    for (Window w = focus; w != None && w != PointerRoot && w != root;) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
                Success &&
            data != nullptr) {
            const bool own = format == 32 && count == 1 && *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(getpid());
            XFree(data);
            return own;
        }
        if (data != nullptr) XFree(data);
        w = parentOf(display_, w);
    }
    return false;
}

} // namespace twk
