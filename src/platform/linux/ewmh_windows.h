#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace twk {

/// What the workspace needs to know about one top-level window.
struct WindowFacts {
    uint32_t window = 0;
    /// The owning process: _NET_WM_PID, else the X server's own record of
    /// the client (X-Resource); 0 when neither tells.
    int pid = 0;
    /// WM_CLASS: instance and class name; empty when unset.
    std::string instanceName;
    std::string className;
    /// A panel/dock or the desktop background rather than a window of work.
    bool desktopComponent = false;
};

/// One XCB connection to an X server and the window manager's (EWMH) view
/// of the windows on its first screen. Not thread-safe: the owner serialises
/// calls. Every query checks its own replies, so a window that vanishes
/// midway is skipped, never an error, and nothing is printed.
class EwmhWindows {
public:
    /// Nothing when the display cannot be opened.
    static std::unique_ptr<EwmhWindows> open(const std::string& displayName);
    ~EwmhWindows();
    EwmhWindows(const EwmhWindows&) = delete;
    EwmhWindows& operator=(const EwmhWindows&) = delete;

    /// False once the server has gone away.
    bool usable() const;
    /// The connection and root window, for other queries of the same
    /// display made under the owner's serialisation.
    xcb_connection_t* connection() const { return connection_; }
    uint32_t root() const { return root_; }
    /// Whether an EWMH window manager runs (_NET_SUPPORTING_WM_CHECK).
    bool hasWindowManager();
    /// The window manager's process: the owner of its check window; 0 when
    /// none runs or it cannot be told.
    int windowManagerPid();
    /// Managed windows in the order they were first mapped (_NET_CLIENT_LIST).
    std::vector<uint32_t> clientList();
    /// Managed windows from bottom to top (_NET_CLIENT_LIST_STACKING).
    std::vector<uint32_t> stackingOrder();
    /// Children of the root window that are not in `managed` (frames,
    /// withdrawn and override-redirect windows), bottom to top.
    std::vector<uint32_t> unmanagedTopLevels(const std::vector<uint32_t>& managed);
    /// Facts for those of `windows` that still exist, in the same order.
    /// Requests are pipelined: one round trip, two when some windows lack
    /// _NET_WM_PID.
    std::vector<WindowFacts> describe(const std::vector<uint32_t>& windows);
    /// The window manager's focused window (_NET_ACTIVE_WINDOW).
    std::optional<uint32_t> activeWindow();

    /// Asks the window manager to activate `window`, as a pager does.
    bool requestActivation(uint32_t window);
    /// Asks `window` to close the way a window manager's close button does:
    /// WM_DELETE_WINDOW when the window takes part in that protocol, else
    /// _NET_CLOSE_WINDOW to the window manager. False when it is gone.
    bool requestClose(uint32_t window);

private:
    EwmhWindows() = default;
    struct Atoms;

    std::vector<uint32_t> windowListProperty(uint32_t window, uint32_t property);
    /// The window manager's check window, when it names itself.
    std::optional<uint32_t> checkWindow();
    void resolveMissingPids(std::vector<WindowFacts>& facts);
    bool sendMessage(uint32_t destination, uint32_t eventMask, uint32_t window, uint32_t messageType,
                     const std::array<uint32_t, 5>& data);
    uint32_t serverTime();

    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
    /// Our own unmapped window: changing a property on it yields the
    /// server's current time, which activation and close requests carry.
    uint32_t clockWindow_ = 0;
    bool hasXRes_ = false;
    std::unique_ptr<Atoms> atoms_;
};

} // namespace twk
