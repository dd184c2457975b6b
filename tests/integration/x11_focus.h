#pragma once

// Last: Xlib's macros (None, Bool) clash with the test framework's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace twk::test {

/// The process owning the window with the keyboard focus (the window
/// manager's choice reaches the X server a moment after it is announced);
/// 0 when unknown.
inline int focusedWindowPid()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 0;
    Window w = 0;
    int revert = 0;
    XGetInputFocus(display, &w, &revert);
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    int pid = 0;
    while (pid == 0 && w != None && w != PointerRoot && w != DefaultRootWindow(display)) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
                Success &&
            data != nullptr) {
            if (count == 1) pid = static_cast<int>(*reinterpret_cast<unsigned long*>(data));
            XFree(data);
        }
        Window rootOut = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(display, w, &rootOut, &parent, &children, &n)) break;
        if (children != nullptr) XFree(children);
        w = parent;
    }
    XCloseDisplay(display);
    return pid;
}

} // namespace twk::test
