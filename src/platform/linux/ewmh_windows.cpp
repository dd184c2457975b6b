#include "platform/linux/ewmh_windows.h"

#include "platform/linux/xcb_reply.h"

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <unordered_set>

namespace twk {
namespace {

// A failed request (the window is gone) yields no reply; its error is freed
// here, so nothing reaches the event queue or the default error printer.
Reply<xcb_get_property_reply_t> propertyReply(xcb_connection_t* c, xcb_get_property_cookie_t cookie)
{
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, &error));
    std::free(error);
    return reply;
}

std::vector<uint32_t> values32(const xcb_get_property_reply_t* reply)
{
    if (reply == nullptr || reply->format != 32) return {};
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
    return {data, data + reply->value_len};
}

constexpr uint32_t maxListLength = 1 << 16; // in 32-bit units
constexpr uint32_t sourcePager = 2;         // EWMH source indication
// Client messages to the window manager go to the root window with this mask.
constexpr uint32_t toWindowManager = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;

} // namespace

struct EwmhWindows::Atoms {
    xcb_atom_t clientList = 0, clientListStacking = 0, activeWindow = 0, wmPid = 0, supportingWmCheck = 0,
               closeWindow = 0, windowType = 0, typeDock = 0, typeDesktop = 0, wmProtocols = 0,
               wmDeleteWindow = 0, clock = 0;
};

std::unique_ptr<EwmhWindows> EwmhWindows::open(const std::string& displayName)
{
    if (displayName.empty()) return nullptr;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(displayName.c_str(), &screenNumber);
    if (xcb_connection_has_error(c) != 0) {
        xcb_disconnect(c);
        return nullptr;
    }
    std::unique_ptr<EwmhWindows> windows(new EwmhWindows());
    windows->connection_ = c;
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) return nullptr;
    windows->root_ = screens.data->root;

    windows->atoms_ = std::make_unique<Atoms>();
    Atoms& a = *windows->atoms_;
    const std::pair<const char*, xcb_atom_t*> names[] = {
        {"_NET_CLIENT_LIST", &a.clientList},
        {"_NET_CLIENT_LIST_STACKING", &a.clientListStacking},
        {"_NET_ACTIVE_WINDOW", &a.activeWindow},
        {"_NET_WM_PID", &a.wmPid},
        {"_NET_SUPPORTING_WM_CHECK", &a.supportingWmCheck},
        {"_NET_CLOSE_WINDOW", &a.closeWindow},
        {"_NET_WM_WINDOW_TYPE", &a.windowType},
        {"_NET_WM_WINDOW_TYPE_DOCK", &a.typeDock},
        {"_NET_WM_WINDOW_TYPE_DESKTOP", &a.typeDesktop},
        {"WM_PROTOCOLS", &a.wmProtocols},
        {"WM_DELETE_WINDOW", &a.wmDeleteWindow},
        {"_TWK_SERVER_TIME", &a.clock},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const auto& [name, atom] : names)
        cookies.push_back(xcb_intern_atom(c, 0, static_cast<uint16_t>(std::string_view(name).size()), name));

    std::optional<xcb_res_query_version_cookie_t> resVersion;
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(c, &xcb_res_id);
    if (res != nullptr && res->present != 0) resVersion = xcb_res_query_version(c, 1, 2);

    for (size_t i = 0; i < cookies.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        if (!reply) return nullptr;
        *names[i].second = reply->atom;
    }
    if (resVersion) {
        Reply<xcb_res_query_version_reply_t> reply(xcb_res_query_version_reply(c, *resVersion, nullptr));
        // Client-id queries came with version 1.2.
        windows->hasXRes_ = reply && (reply->server_major > 1 || (reply->server_major == 1 && reply->server_minor >= 2));
    }

    windows->clockWindow_ = xcb_generate_id(c);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, 0, windows->clockWindow_, windows->root_, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    xcb_flush(c);
    return windows;
}

EwmhWindows::~EwmhWindows()
{
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

bool EwmhWindows::usable() const
{
    return xcb_connection_has_error(connection_) == 0;
}

std::vector<uint32_t> EwmhWindows::windowListProperty(uint32_t window, uint32_t property)
{
    return values32(
        propertyReply(connection_, xcb_get_property(connection_, 0, window, property, XCB_ATOM_WINDOW, 0, maxListLength))
            .get());
}

std::optional<uint32_t> EwmhWindows::checkWindow()
{
    // The check window names itself, so a stale property left by a window
    // manager that died does not count.
    const auto check = windowListProperty(root_, atoms_->supportingWmCheck);
    if (check.empty()) return std::nullopt;
    const auto self = windowListProperty(check.front(), atoms_->supportingWmCheck);
    if (self.empty() || self.front() != check.front()) return std::nullopt;
    return check.front();
}

bool EwmhWindows::hasWindowManager()
{
    return checkWindow().has_value();
}

int EwmhWindows::windowManagerPid()
{
    const auto check = checkWindow();
    if (!check) return 0;
    const auto facts = describe({*check});
    return facts.empty() ? 0 : facts.front().pid;
}

std::vector<uint32_t> EwmhWindows::clientList()
{
    return windowListProperty(root_, atoms_->clientList);
}

std::vector<uint32_t> EwmhWindows::stackingOrder()
{
    return windowListProperty(root_, atoms_->clientListStacking);
}

std::optional<uint32_t> EwmhWindows::activeWindow()
{
    const auto active = windowListProperty(root_, atoms_->activeWindow);
    if (active.empty() || active.front() == XCB_WINDOW_NONE) return std::nullopt;
    return active.front();
}

std::vector<uint32_t> EwmhWindows::unmanagedTopLevels(const std::vector<uint32_t>& managed)
{
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    if (!tree) return {};
    const std::unordered_set<uint32_t> skip(managed.begin(), managed.end());
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    std::vector<uint32_t> result;
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (children[i] != clockWindow_ && skip.count(children[i]) == 0) result.push_back(children[i]);
    return result;
}

std::vector<WindowFacts> EwmhWindows::describe(const std::vector<uint32_t>& windows)
{
    struct Cookies {
        xcb_get_property_cookie_t pid, wmClass, type;
    };
    std::vector<Cookies> cookies;
    cookies.reserve(windows.size());
    for (const uint32_t w : windows)
        cookies.push_back({xcb_get_property(connection_, 0, w, atoms_->wmPid, XCB_ATOM_CARDINAL, 0, 1),
                           xcb_get_property(connection_, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
                           xcb_get_property(connection_, 0, w, atoms_->windowType, XCB_ATOM_ATOM, 0, 32)});

    std::vector<WindowFacts> facts;
    for (size_t i = 0; i < windows.size(); ++i) {
        const auto pid = propertyReply(connection_, cookies[i].pid);
        const auto wmClass = propertyReply(connection_, cookies[i].wmClass);
        const auto type = propertyReply(connection_, cookies[i].type);
        if (!pid) continue; // gone
        WindowFacts f;
        f.window = windows[i];
        if (const auto p = values32(pid.get()); !p.empty() && p.front() <= INT32_MAX) f.pid = static_cast<int>(p.front());
        if (wmClass && wmClass->format == 8) {
            const std::string_view all(static_cast<const char*>(xcb_get_property_value(wmClass.get())),
                                       static_cast<size_t>(xcb_get_property_value_length(wmClass.get())));
            const size_t end = all.find('\0');
            f.instanceName = all.substr(0, end);
            if (end != std::string_view::npos) {
                const auto rest = all.substr(end + 1);
                f.className = rest.substr(0, rest.find('\0'));
            }
        }
        // The first listed type is the one the window prefers.
        if (const auto types = values32(type.get()); !types.empty())
            f.desktopComponent = types.front() == atoms_->typeDock || types.front() == atoms_->typeDesktop;
        facts.push_back(std::move(f));
    }
    resolveMissingPids(facts);
    return facts;
}

void EwmhWindows::resolveMissingPids(std::vector<WindowFacts>& facts)
{
    if (!hasXRes_) return;
    std::vector<std::pair<WindowFacts*, xcb_res_query_client_ids_cookie_t>> queries;
    for (auto& f : facts) {
        if (f.pid != 0) continue;
        // Any resource id names the client that owns it.
        const xcb_res_client_id_spec_t wanted{f.window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        queries.emplace_back(&f, xcb_res_query_client_ids(connection_, 1, &wanted));
    }
    for (auto& [f, cookie] : queries) {
        xcb_generic_error_t* error = nullptr;
        Reply<xcb_res_query_client_ids_reply_t> reply(xcb_res_query_client_ids_reply(connection_, cookie, &error));
        std::free(error);
        if (!reply) continue;
        for (auto ids = xcb_res_query_client_ids_ids_iterator(reply.get()); ids.rem > 0;
             xcb_res_client_id_value_next(&ids)) {
            const auto& [asked, length] = *ids.data;
            if ((asked.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) == 0) continue;
            if (xcb_res_client_id_value_value_length(ids.data) < 1) continue;
            const uint32_t pid = *xcb_res_client_id_value_value(ids.data);
            if (pid <= INT32_MAX) f->pid = static_cast<int>(pid);
        }
    }
}

uint32_t EwmhWindows::serverTime()
{
    // A zero-length append still notifies, stamped with the server's time.
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, clockWindow_, atoms_->clock, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection_);
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
        const Reply<xcb_generic_event_t> owned(event);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) continue;
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window == clockWindow_) return notify->time;
    }
    return XCB_CURRENT_TIME;
}

bool EwmhWindows::sendMessage(uint32_t destination, uint32_t eventMask, uint32_t window, uint32_t messageType,
                              const std::array<uint32_t, 5>& data)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = messageType;
    std::copy(data.begin(), data.end(), message.data.data32);
    const auto cookie =
        xcb_send_event_checked(connection_, 0, destination, eventMask, reinterpret_cast<const char*>(&message));
    const Reply<xcb_generic_error_t> error(xcb_request_check(connection_, cookie));
    return !error && usable();
}

bool EwmhWindows::requestActivation(uint32_t window)
{
    if (!hasWindowManager()) return false;
    return sendMessage(root_, toWindowManager, window, atoms_->activeWindow, {sourcePager, serverTime(), 0, 0, 0});
}

bool EwmhWindows::requestClose(uint32_t window)
{
    const auto protocols = propertyReply(connection_, xcb_get_property(connection_, 0, window, atoms_->wmProtocols,
                                                                        XCB_ATOM_ATOM, 0, maxListLength));
    if (!protocols) return false; // gone
    bool deletable = false;
    for (const uint32_t atom : values32(protocols.get())) deletable = deletable || atom == atoms_->wmDeleteWindow;
    if (deletable)
        return sendMessage(window, XCB_EVENT_MASK_NO_EVENT, window, atoms_->wmProtocols,
                           {atoms_->wmDeleteWindow, serverTime(), 0, 0, 0});
    return hasWindowManager() &&
           sendMessage(root_, toWindowManager, window, atoms_->closeWindow, {serverTime(), sourcePager, 0, 0, 0});
}

} // namespace twk
