#include "ui/x11_window_hints.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

// After Qt: Xlib's macros (None, Bool, Status) clash with Qt names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace twk::ui {
namespace {

Display* x11Display()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

bool compositorRunning(Display* display)
{
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.c_str(), False);
    return XGetSelectionOwner(display, selection) != 0;
}

} // namespace

void keepOutOfTaskbarAndSwitcher(QWidget& window)
{
    Display* display = x11Display();
    if (!display) return;
    const auto id = static_cast<Window>(window.winId());
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    std::vector<Atom> atoms{XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                            XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
    // Set before mapping, the window manager reads them as the initial state;
    // Qt adds its own (above) to these rather than replacing them.
    XChangeProperty(display, id, state, XA_ATOM, 32, PropModeAppend, reinterpret_cast<unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
    XFlush(display);
}

void applyRoundedShapeWithoutCompositor(QWidget& window, double radius)
{
    Display* display = x11Display();
    if (!display || compositorRunning(display)) {
        window.clearMask();
        return;
    }
    QPainterPath outline;
    outline.addRoundedRect(QRectF(window.rect()), radius, radius);
    window.setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

} // namespace twk::ui
