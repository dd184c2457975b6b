#include "platform/linux/x11_screen.h"

#include "platform/linux/ewmh_windows.h"
#include "platform/linux/x11_monitors.h"
#include "platform/linux/x11_screen_grab.h"
#include "platform/linux/xcb_reply.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace twk {
namespace {

constexpr auto reconnectInterval = std::chrono::seconds(2);

// Layers by what a window is for, in the order they stack.
constexpr int desktopLayer = -1;
constexpr int normalLayer = 0;
constexpr int floatingLayer = 3;
constexpr int dockLayer = 20;
constexpr int overlayLayer = 100;

std::string displayFromEnvironment()
{
    const char* display = std::getenv("DISPLAY");
    return display != nullptr ? display : "";
}

std::vector<xcb_atom_t> atomList(xcb_connection_t* c, xcb_get_property_cookie_t cookie)
{
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, &error));
    std::free(error);
    if (!reply || reply->format != 32) return {};
    const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return {data, data + reply->value_len};
}

} // namespace

struct X11Screen::Atoms {
    xcb_atom_t type = 0, typeDesktop = 0, typeDock = 0, typeUtility = 0, typeToolbar = 0, typeMenu = 0,
               typeSplash = 0, typeNotification = 0, state = 0, stateAbove = 0, stateHidden = 0;

    static std::unique_ptr<Atoms> intern(xcb_connection_t* c)
    {
        auto atoms = std::make_unique<Atoms>();
        const std::pair<const char*, xcb_atom_t*> names[] = {
            {"_NET_WM_WINDOW_TYPE", &atoms->type},
            {"_NET_WM_WINDOW_TYPE_DESKTOP", &atoms->typeDesktop},
            {"_NET_WM_WINDOW_TYPE_DOCK", &atoms->typeDock},
            {"_NET_WM_WINDOW_TYPE_UTILITY", &atoms->typeUtility},
            {"_NET_WM_WINDOW_TYPE_TOOLBAR", &atoms->typeToolbar},
            {"_NET_WM_WINDOW_TYPE_MENU", &atoms->typeMenu},
            {"_NET_WM_WINDOW_TYPE_SPLASH", &atoms->typeSplash},
            {"_NET_WM_WINDOW_TYPE_NOTIFICATION", &atoms->typeNotification},
            {"_NET_WM_STATE", &atoms->state},
            {"_NET_WM_STATE_ABOVE", &atoms->stateAbove},
            {"_NET_WM_STATE_HIDDEN", &atoms->stateHidden},
        };
        std::vector<xcb_intern_atom_cookie_t> cookies;
        for (const auto& [name, atom] : names)
            cookies.push_back(xcb_intern_atom(c, 0, static_cast<uint16_t>(std::string_view(name).size()), name));
        for (size_t i = 0; i < cookies.size(); ++i) {
            Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
            if (!reply) return nullptr;
            *names[i].second = reply->atom;
        }
        return atoms;
    }

    /// The layer of a window of these types (preferred first) and states.
    int layer(const std::vector<xcb_atom_t>& types, const std::vector<xcb_atom_t>& states) const
    {
        const xcb_atom_t kind = types.empty() ? 0 : types.front();
        if (kind == typeDesktop) return desktopLayer;
        if (kind == typeDock) return dockLayer;
        if (kind == typeSplash || kind == typeNotification) return overlayLayer;
        if (kind == typeUtility || kind == typeToolbar || kind == typeMenu) return floatingLayer;
        if (std::find(states.begin(), states.end(), stateAbove) != states.end()) return floatingLayer;
        return normalLayer;
    }
};

X11Screen::X11Screen(std::string displayName)
    : displayName_(displayName.empty() ? displayFromEnvironment() : std::move(displayName))
{
}

X11Screen::~X11Screen()
{
    grab_.reset(); // detaches its segment through the connection
}

EwmhWindows* X11Screen::windows()
{
    if (windows_ && windows_->usable() && atoms_) return windows_.get();
    grab_.reset();
    windows_.reset();
    const auto now = std::chrono::steady_clock::now();
    if (displayName_.empty() || (lastAttempt_ != decltype(lastAttempt_){} && now - lastAttempt_ < reconnectInterval))
        return nullptr;
    lastAttempt_ = now;
    windows_ = EwmhWindows::open(displayName_);
    if (!windows_) return nullptr;
    atoms_ = Atoms::intern(windows_->connection());
    if (!atoms_) {
        windows_.reset();
        return nullptr;
    }
    grab_ = std::make_unique<X11ScreenGrab>(windows_->connection(), windows_->root());
    return windows_.get();
}

std::vector<DisplayInfo> X11Screen::displays()
{
    std::lock_guard lock(mutex_);
    auto* x = windows();
    if (x == nullptr) return {};
    return x11Monitors(x->connection(), x->root());
}

std::vector<ScreenWindow> X11Screen::windowsFrontToBack()
{
    std::lock_guard lock(mutex_);
    auto* x = windows();
    if (x == nullptr) return {};
    xcb_connection_t* c = x->connection();
    auto stacking = x->stackingOrder();
    std::reverse(stacking.begin(), stacking.end());

    struct Cookies {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_property_cookie_t types, states;
    };
    std::vector<Cookies> cookies;
    cookies.reserve(stacking.size());
    for (const uint32_t w : stacking)
        cookies.push_back({xcb_get_window_attributes(c, w), xcb_get_geometry(c, w),
                           xcb_translate_coordinates(c, w, x->root(), 0, 0),
                           xcb_get_property(c, 0, w, atoms_->type, XCB_ATOM_ATOM, 0, 32),
                           xcb_get_property(c, 0, w, atoms_->state, XCB_ATOM_ATOM, 0, 64)});
    std::unordered_map<uint32_t, int> pids;
    for (const auto& facts : x->describe(stacking)) pids[facts.window] = facts.pid;

    std::vector<ScreenWindow> result;
    for (size_t i = 0; i < stacking.size(); ++i) {
        // Every reply is taken, also of windows skipped, so none is left queued.
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, cookies[i].attributes, nullptr));
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, cookies[i].geometry, nullptr));
        Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(c, cookies[i].origin, nullptr));
        const auto types = atomList(c, cookies[i].types);
        const auto states = atomList(c, cookies[i].states);
        if (!attributes || !geometry || !origin) continue; // gone
        // Minimised windows and those of other workspaces are unmapped.
        if (attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
        if (std::find(states.begin(), states.end(), atoms_->stateHidden) != states.end()) continue;
        const auto pid = pids.find(stacking[i]);
        result.push_back({pid == pids.end() ? 0 : pid->second, atoms_->layer(types, states),
                          {static_cast<double>(origin->dst_x), static_cast<double>(origin->dst_y),
                           static_cast<double>(geometry->width), static_cast<double>(geometry->height)}});
    }
    return result;
}

std::optional<ScreenPoint> X11Screen::pointerLocation()
{
    std::lock_guard lock(mutex_);
    auto* x = windows();
    if (x == nullptr) return std::nullopt;
    xcb_connection_t* c = x->connection();
    Reply<xcb_query_pointer_reply_t> pointer(xcb_query_pointer_reply(c, xcb_query_pointer(c, x->root()), nullptr));
    // Not on this screen: the pointer is on another X screen.
    if (!pointer || pointer->same_screen == 0) return std::nullopt;
    return ScreenPoint{static_cast<double>(pointer->root_x), static_cast<double>(pointer->root_y)};
}

std::optional<PixelImage> X11Screen::capture(const ScreenRect& region)
{
    std::lock_guard lock(mutex_);
    if (windows() == nullptr || !grab_) return std::nullopt;
    return grab_->grab(region);
}

bool X11Screen::lastCaptureShared()
{
    std::lock_guard lock(mutex_);
    return grab_ && grab_->usedSharedMemory();
}

} // namespace twk
