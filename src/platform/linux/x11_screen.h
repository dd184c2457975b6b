#pragma once

#include "platform/screen.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace twk {

class EwmhWindows;
class X11ScreenGrab;

/// The screen of an X11 desktop.
///
/// - Displays are the RandR monitors, the primary one first, in root
///   window coordinates: the same pixels that window positions,
///   accessibility frames and synthesised clicks use, so a point is a pixel
///   and `scale` is 1 (see Screen).
/// - Windows are the window manager's managed windows that are mapped
///   (_NET_CLIENT_LIST_STACKING, top first), with their owner (_NET_WM_PID,
///   else the server's record) and their client area in root coordinates.
///   Layer 0 holds ordinary windows and dialogs; docks and panels, the
///   desktop background, and utility, splash and notification windows and
///   windows kept above the others (a HUD) lie in other layers.
/// - Capture reads the root window (MIT-SHM when the server offers it).
///
/// Thread-safe: one X connection, opened on first use and again after the
/// server went away (at most every two seconds), serves every call under a
/// mutex. Without a display every call answers empty.
class X11Screen : public Screen {
public:
    /// `displayName` empty: $DISPLAY.
    explicit X11Screen(std::string displayName = {});
    ~X11Screen() override;

    std::vector<DisplayInfo> displays() override;
    std::vector<ScreenWindow> windowsFrontToBack() override;
    std::optional<ScreenPoint> pointerLocation() override;
    std::optional<PixelImage> capture(const ScreenRect& region) override;

    /// Whether the last capture went through shared memory (for tests and
    /// the benchmark).
    bool lastCaptureShared();

private:
    struct Atoms;
    /// With mutex_ held: the connection, (re)opened when needed; may be null.
    EwmhWindows* windows();

    const std::string displayName_;
    std::mutex mutex_;
    std::unique_ptr<EwmhWindows> windows_;
    std::unique_ptr<X11ScreenGrab> grab_;
    std::unique_ptr<Atoms> atoms_;
    std::chrono::steady_clock::time_point lastAttempt_{};
};

} // namespace twk
