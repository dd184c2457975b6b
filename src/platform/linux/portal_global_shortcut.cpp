#include "platform/linux/portal_global_shortcut.h"

#include "platform/linux/xkb_key_names.h"

#include <gio/gio.h>

#include <string>

namespace twk {
namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* shortcutId = "power";
constexpr int probeTimeoutMs = 2000;

Error portalError(int code, const std::string& what)
{
    return Error("twk.shortcut", code, what);
}

/// The trigger as the XDG shortcuts format writes it: "LOGO+ALT+space".
std::string triggerText(const ShortcutKeys& combination)
{
    std::string text;
    if (combination.control) text += "CTRL+";
    if (combination.alt) text += "ALT+";
    if (combination.shift) text += "SHIFT+";
    if (combination.super) text += "LOGO+";
    return text + xkbKeyName(combination.key);
}

} // namespace

struct PortalGlobalShortcut::State : std::enable_shared_from_this<State> {
    /// What a Request's Response signal is waited for with.
    struct Pending {
        std::weak_ptr<State> state;
        std::function<void(State&, uint32_t code, GVariant* results)> then;
        unsigned subscription = 0;
    };

    GDBusConnection* bus = nullptr;
    GCancellable* cancellable = g_cancellable_new();
    std::string sender; // our unique bus name as an object path element
    unsigned tokens = 0;
    std::string session;
    unsigned activated = 0;
    std::function<void()> onPressed;

    ~State()
    {
        g_cancellable_cancel(cancellable);
        closeSession();
        g_object_unref(cancellable);
        g_object_unref(bus);
    }

    void closeSession()
    {
        if (activated != 0) g_dbus_connection_signal_unsubscribe(bus, activated);
        activated = 0;
        if (session.empty()) return;
        g_dbus_connection_call(bus, portalName, session.c_str(), "org.freedesktop.portal.Session", "Close", nullptr,
                               nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        session.clear();
    }

    /// Calls a portal method that answers through a Request object; `then`
    /// gets its response code (0 success, 1 cancelled, 2 other; 3 when the
    /// call itself failed) and results. `build` makes the call's parameters
    /// around the handle token.
    void request(const char* method, const std::function<GVariant*(const std::string& token)>& build,
                 std::function<void(State&, uint32_t, GVariant*)> then)
    {
        const std::string token = "tarnwick" + std::to_string(++tokens);
        const std::string path = std::string(portalPath) + "/request/" + sender + "/" + token;
        auto* pending = new Pending{weak_from_this(), std::move(then)};
        // Subscribed before the call, so that a fast answer is not missed.
        pending->subscription = g_dbus_connection_signal_subscribe(
            bus, portalName, "org.freedesktop.portal.Request", "Response", path.c_str(), nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection* connection, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* parameters, gpointer data) {
                auto* waiting = static_cast<Pending*>(data);
                uint32_t code = 2;
                GVariant* results = nullptr;
                g_variant_get(parameters, "(u@a{sv})", &code, &results);
                auto next = std::move(waiting->then);
                const auto state = waiting->state.lock();
                // Frees `waiting`: nothing of it is used after this.
                g_dbus_connection_signal_unsubscribe(connection, waiting->subscription);
                if (state) next(*state, code, results);
                g_variant_unref(results);
            },
            pending, [](gpointer data) { delete static_cast<Pending*>(data); });
        struct Call {
            std::weak_ptr<State> state;
            unsigned subscription;
            std::function<void(State&, uint32_t, GVariant*)>* then;
        };
        g_dbus_connection_call(
            bus, portalName, portalPath, shortcutsInterface, method, build(token), G_VARIANT_TYPE("(o)"),
            G_DBUS_CALL_FLAGS_NONE, -1, cancellable,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* call = static_cast<Call*>(data);
                GError* error = nullptr;
                GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
                if (reply != nullptr) g_variant_unref(reply);
                if (error != nullptr) {
                    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
                    g_error_free(error);
                    const auto state = call->state.lock();
                    if (!cancelled && state) {
                        // No Response will come: stop waiting and report.
                        auto next = std::move(*call->then);
                        g_dbus_connection_signal_unsubscribe(state->bus, call->subscription);
                        next(*state, 3, nullptr);
                    }
                }
                delete call;
            },
            new Call{weak_from_this(), pending->subscription, &pending->then});
    }
};

std::unique_ptr<PortalGlobalShortcut> PortalGlobalShortcut::open()
{
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        g_error_free(error);
        return nullptr;
    }
    GVariant* version = g_dbus_connection_call_sync(
        bus, portalName, portalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", shortcutsInterface, "version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
        probeTimeoutMs, nullptr, &error);
    if (version == nullptr) {
        g_error_free(error);
        g_object_unref(bus);
        return nullptr;
    }
    g_variant_unref(version);
    auto state = std::make_shared<State>();
    state->bus = bus;
    // ":1.42" becomes "1_42", as the portal names our request objects.
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    for (char& c : sender)
        if (c == '.') c = '_';
    state->sender = sender;
    return std::unique_ptr<PortalGlobalShortcut>(new PortalGlobalShortcut(std::move(state)));
}

PortalGlobalShortcut::PortalGlobalShortcut(std::shared_ptr<State> state) : state_(std::move(state)) {}

PortalGlobalShortcut::~PortalGlobalShortcut() = default;

void PortalGlobalShortcut::bind(const ShortcutKeys& combination, std::function<void()> onPressed,
                                std::function<void(VoidResult)> onBound)
{
    state_->closeSession();
    state_->onPressed = std::move(onPressed);
    const std::string trigger = triggerText(combination);
    const std::string text = combination.text();
    state_->request(
        "CreateSession",
        [this](const std::string& token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
            g_variant_builder_add(&options, "{sv}", "session_handle_token",
                                  g_variant_new_string(("tarnwick" + std::to_string(++state_->tokens)).c_str()));
            return g_variant_new("(a{sv})", &options);
        },
        [trigger, text, onBound](State& state, uint32_t code, GVariant* results) {
            // A text by the portal's documentation; some portals send an object path.
            GVariant* handle = code == 0 ? g_variant_lookup_value(results, "session_handle", nullptr) : nullptr;
            const bool named = handle != nullptr && (g_variant_is_of_type(handle, G_VARIANT_TYPE_STRING) ||
                                                     g_variant_is_of_type(handle, G_VARIANT_TYPE_OBJECT_PATH));
            if (named) state.session = g_variant_get_string(handle, nullptr);
            if (handle != nullptr) g_variant_unref(handle);
            if (!named || !g_variant_is_object_path(state.session.c_str())) {
                state.session.clear();
                return onBound(portalError(unavailableCode, "the desktop portal opened no shortcut session"));
            }
            // The session is told apart here: a match rule's arg0 is for texts, not object paths.
            state.activated = g_dbus_connection_signal_subscribe(
                state.bus, portalName, shortcutsInterface, "Activated", portalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                   gpointer data) {
                    auto* self = static_cast<State*>(data);
                    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) return;
                    const char* session = nullptr;
                    const char* id = nullptr;
                    g_variant_get_child(parameters, 0, "&o", &session);
                    g_variant_get_child(parameters, 1, "&s", &id);
                    if (self->session == session && std::string(id) == shortcutId && self->onPressed) self->onPressed();
                },
                &state, nullptr);
            state.request(
                "BindShortcuts",
                [&state, trigger](const std::string& token) {
                    GVariantBuilder details;
                    g_variant_builder_init(&details, G_VARIANT_TYPE_VARDICT);
                    g_variant_builder_add(&details, "{sv}", "description",
                                          g_variant_new_string("Switch Tarnwick on or off"));
                    g_variant_builder_add(&details, "{sv}", "preferred_trigger", g_variant_new_string(trigger.c_str()));
                    GVariantBuilder shortcuts;
                    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
                    g_variant_builder_add(&shortcuts, "(sa{sv})", shortcutId, &details);
                    GVariantBuilder options;
                    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
                    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
                    return g_variant_new("(oa(sa{sv})sa{sv})", state.session.c_str(), &shortcuts, "", &options);
                },
                [text, onBound](State&, uint32_t bindCode, GVariant*) {
                    if (bindCode == 0) return onBound(Unit{});
                    if (bindCode == 1)
                        return onBound(portalError(refusedCode, "the desktop did not confirm " + text));
                    onBound(portalError(unavailableCode, "the desktop portal could not bind " + text));
                });
        });
}

} // namespace twk
