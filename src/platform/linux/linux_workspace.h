#pragma once

#include "platform/linux/appstream_descriptions.h"
#include "platform/workspace.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace twk {

class EwmhWindows;
class GioLauncher;

/// The workspace of an X11 desktop, seen through the window manager (EWMH)
/// and the installed desktop entries (GIO).
///
/// - Running applications are the processes owning windows of the window
///   manager's client list (_NET_CLIENT_LIST), one per process id
///   (_NET_WM_PID, else the X server's record of the client), in the order
///   their first window was mapped. They are regular when they have a window
///   that is not a dock or the desktop, and run no part of the desktop: the
///   window manager (the owner of _NET_SUPPORTING_WM_CHECK's window) and the
///   owners of docks/panels and the desktop background are never regular,
///   and neither is this process (its tray panels and HUD).
///   After them come, as not regular, the processes that own only unmanaged
///   top-level windows carrying a WM_CLASS (tray and background programs, the
///   window manager itself). Without an EWMH window manager no application
///   is regular.
/// - Each is joined with its desktop entry (see matchDesktopEntry): the
///   entry's id without ".desktop" is the application id ("org.xfce.mousepad")
///   and its localized Name the name. Without an entry the id is empty and the
///   name is the WM_CLASS class.
/// - The frontmost application owns _NET_ACTIVE_WINDOW; when that window is
///   this process's own, it is the owner of the topmost window below it that
///   belongs to neither this process nor the desktop (what had the focus).
/// - activate asks the window manager to activate the process's topmost
///   window (_NET_CLIENT_LIST_STACKING) as a pager would.
/// - terminate refuses every process but a regular one, and this very
///   process. It closes each of the application's windows the way a window
///   manager's close button does (WM_DELETE_WINDOW, else _NET_CLOSE_WINDOW),
///   so the application may ask to save; only one none of whose windows
///   could be asked gets SIGTERM. It never kills.
/// - Installed applications, launching and default handlers go through GIO
///   (see GioLauncher); they work without an X display too. An installed
///   application's summary, and keywords beyond its entry's, come from the
///   software catalogue's metainfo (see AppStreamCatalogue).
///
/// Thread-safe: one X connection, opened on first use and again after the
/// server went away (at most every two seconds), serves every call under a
/// mutex. Without a usable display the window calls answer empty or false.
class LinuxWorkspace : public Workspace {
public:
    /// `displayName` empty: $DISPLAY.
    explicit LinuxWorkspace(std::string displayName = {});
    ~LinuxWorkspace() override;

    std::vector<RunningApplication> runningApplications() override;
    std::optional<int> frontmostApplicationPid() override;
    bool activate(int pid) override;
    bool terminate(int pid) override;
    std::vector<InstalledApplication> installedApplications() override;
    std::optional<InstalledApplication> applicationWithId(const std::string& applicationId) override;
    void launch(const InstalledApplication& application, LaunchCompletion completion) override;
    bool openURL(const std::string& url) override;

private:
    /// With mutex_ held: the connection, (re)opened when needed; may be null.
    EwmhWindows* windows();

    const std::string displayName_;
    std::mutex mutex_;
    std::unique_ptr<EwmhWindows> windows_;
    std::chrono::steady_clock::time_point lastAttempt_{};
    std::unique_ptr<GioLauncher> launcher_;
    AppStreamCatalogue catalogue_;
};

} // namespace twk
