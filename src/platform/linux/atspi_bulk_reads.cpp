#include "platform/linux/atspi_bulk_reads.h"

#include "common/utf8.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <string_view>

// libatspi turns a (bus name, path) reference into its one object for that
// element (exported, though not in its headers, unchanged since 2.0): the
// objects made here are the very ones its own calls return.
extern "C" AtspiAccessible* _atspi_ref_accessible(const char* app, const char* path);

namespace twk {
namespace {

constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";

enum Request { role, states, extents, actions, name, childCount, requestCount };

DBusMessage* request(AtspiAccessible* object, Request which)
{
    const char* bus = object->parent.app->bus_name;
    const char* path = object->parent.path;
    DBusMessage* message = nullptr;
    switch (which) {
    case role:
        message = dbus_message_new_method_call(bus, path, accessibleInterface, "GetRole");
        break;
    case states:
        message = dbus_message_new_method_call(bus, path, accessibleInterface, "GetState");
        break;
    case extents: {
        message = dbus_message_new_method_call(bus, path, "org.a11y.atspi.Component", "GetExtents");
        dbus_uint32_t screen = ATSPI_COORD_TYPE_SCREEN;
        if (message != nullptr) dbus_message_append_args(message, DBUS_TYPE_UINT32, &screen, DBUS_TYPE_INVALID);
        break;
    }
    case actions:
        message = dbus_message_new_method_call(bus, path, "org.a11y.atspi.Action", "GetActions");
        break;
    case name:
    case childCount: {
        message = dbus_message_new_method_call(bus, path, DBUS_INTERFACE_PROPERTIES, "Get");
        const char* property = which == name ? "Name" : "ChildCount";
        if (message != nullptr)
            dbus_message_append_args(message, DBUS_TYPE_STRING, &accessibleInterface, DBUS_TYPE_STRING, &property,
                                     DBUS_TYPE_INVALID);
        break;
    }
    default:
        break;
    }
    return message;
}

std::string stringAt(DBusMessageIter* iter)
{
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_STRING) return {};
    const char* text = nullptr;
    dbus_message_iter_get_basic(iter, &text);
    return text != nullptr ? withValidUtf8(text) : std::string();
}

void readReply(DBusMessage* reply, Request which, AtspiFacts& facts)
{
    if (dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_METHOD_RETURN) return;
    DBusMessageIter iter;
    if (!dbus_message_iter_init(reply, &iter)) return;
    const std::string signature = dbus_message_get_signature(reply);
    if (which == role && signature == "u") {
        dbus_uint32_t value = 0;
        dbus_message_iter_get_basic(&iter, &value);
        facts.role = static_cast<AtspiRole>(value);
    } else if (which == states && signature == "au") {
        DBusMessageIter words;
        dbus_message_iter_recurse(&iter, &words);
        std::uint64_t bits = 0;
        for (int shift = 0; shift < 64 && dbus_message_iter_get_arg_type(&words) == DBUS_TYPE_UINT32; shift += 32) {
            dbus_uint32_t word = 0;
            dbus_message_iter_get_basic(&words, &word);
            bits |= std::uint64_t(word) << shift;
            dbus_message_iter_next(&words);
        }
        facts.states = bits;
    } else if (which == extents && signature == "(iiii)") {
        DBusMessageIter box;
        dbus_message_iter_recurse(&iter, &box);
        dbus_int32_t v[4] = {0, 0, 0, 0};
        for (auto& field : v) {
            dbus_message_iter_get_basic(&box, &field);
            dbus_message_iter_next(&box);
        }
        facts.extents = AtspiRect{v[0], v[1], v[2], v[3]};
    } else if (which == actions && signature == "a(sss)") {
        DBusMessageIter list;
        dbus_message_iter_recurse(&iter, &list);
        std::vector<std::pair<std::string, std::string>> found;
        while (dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_STRUCT) {
            DBusMessageIter entry;
            dbus_message_iter_recurse(&list, &entry);
            std::string actionName = stringAt(&entry);
            dbus_message_iter_next(&entry); // description
            dbus_message_iter_next(&entry);
            found.emplace_back(std::move(actionName), stringAt(&entry));
            dbus_message_iter_next(&list);
        }
        facts.actions = std::move(found);
    } else if (which == name && signature == "v") {
        DBusMessageIter variant;
        dbus_message_iter_recurse(&iter, &variant);
        if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_STRING) facts.name = stringAt(&variant);
    } else if (which == childCount && signature == "v") {
        DBusMessageIter variant;
        dbus_message_iter_recurse(&iter, &variant);
        if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_INT32) {
            dbus_int32_t count = 0;
            dbus_message_iter_get_basic(&variant, &count);
            facts.childCount = count;
        }
    }
}

/// Reads a reply's (so) reference into a new object reference; null for
/// the null path (a child that is not there).
AtspiAccessible* referenceAt(DBusMessageIter* iter)
{
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_STRUCT) return nullptr;
    const char* app = nullptr;
    const char* path = nullptr;
    DBusMessageIter reference;
    dbus_message_iter_recurse(iter, &reference);
    if (dbus_message_iter_get_arg_type(&reference) != DBUS_TYPE_STRING) return nullptr;
    dbus_message_iter_get_basic(&reference, &app);
    dbus_message_iter_next(&reference);
    if (dbus_message_iter_get_arg_type(&reference) != DBUS_TYPE_OBJECT_PATH) return nullptr;
    dbus_message_iter_get_basic(&reference, &path);
    if (app == nullptr || path == nullptr || std::string_view(path) == "/org/a11y/atspi/null") return nullptr;
    return _atspi_ref_accessible(app, path);
}

/// A match rule every element meets: no states, attributes, roles or
/// interfaces asked for.
void appendMatchAll(DBusMessageIter* args)
{
    const dbus_int32_t all = ATSPI_Collection_MATCH_ALL;
    const dbus_bool_t invert = FALSE;
    DBusMessageIter rule;
    DBusMessageIter list;
    dbus_message_iter_open_container(args, DBUS_TYPE_STRUCT, nullptr, &rule);
    for (const char* signature : {"i", "{ss}", "i", "s"}) {
        dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, signature, &list);
        dbus_message_iter_close_container(&rule, &list);
        dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &all);
    }
    dbus_message_iter_append_basic(&rule, DBUS_TYPE_BOOLEAN, &invert);
    dbus_message_iter_close_container(args, &rule);
}

} // namespace

std::optional<std::vector<AtspiAccessible*>> childrenByCollection(AtspiAccessible* parent, AtspiAccessible* previous,
                                                                  int count, int timeoutMs)
{
    if (parent == nullptr || parent->parent.app == nullptr || parent->parent.app->bus_name == nullptr ||
        parent->parent.path == nullptr || (previous != nullptr && previous->parent.path == nullptr) || count <= 0)
        return std::nullopt;
    DBusConnection* bus = parent->parent.app->bus != nullptr ? parent->parent.app->bus : atspi_get_a11y_bus();
    DBusMessage* message = dbus_message_new_method_call(parent->parent.app->bus_name, parent->parent.path,
                                                        "org.a11y.atspi.Collection",
                                                        previous != nullptr ? "GetMatchesFrom" : "GetMatches");
    if (message == nullptr) return std::nullopt;
    DBusMessageIter args;
    dbus_message_iter_init_append(message, &args);
    if (previous != nullptr) dbus_message_iter_append_basic(&args, DBUS_TYPE_OBJECT_PATH, &previous->parent.path);
    appendMatchAll(&args);
    const dbus_uint32_t order = ATSPI_Collection_SORT_ORDER_CANONICAL;
    dbus_message_iter_append_basic(&args, DBUS_TYPE_UINT32, &order);
    if (previous != nullptr) {
        // The siblings after `previous`, not what lies under it.
        const dbus_uint32_t tree = ATSPI_Collection_TREE_RESTRICT_SIBLING;
        dbus_message_iter_append_basic(&args, DBUS_TYPE_UINT32, &tree);
    }
    const dbus_int32_t most = count;
    const dbus_bool_t traverse = FALSE; // children only, not their descendants
    dbus_message_iter_append_basic(&args, DBUS_TYPE_INT32, &most);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_BOOLEAN, &traverse);
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, message, timeoutMs, &error);
    dbus_message_unref(message);
    if (reply == nullptr) {
        dbus_error_free(&error);
        return std::nullopt;
    }
    std::optional<std::vector<AtspiAccessible*>> children;
    DBusMessageIter iter;
    DBusMessageIter list;
    if (std::string_view(dbus_message_get_signature(reply)) == "a(so)" && dbus_message_iter_init(reply, &iter)) {
        children.emplace();
        dbus_message_iter_recurse(&iter, &list);
        for (; dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_STRUCT && static_cast<int>(children->size()) < count;
             dbus_message_iter_next(&list))
            children->push_back(referenceAt(&list));
    }
    dbus_message_unref(reply);
    return children;
}

std::vector<AtspiFacts> readFactsInBulk(const std::vector<AtspiAccessible*>& objects, int timeoutMs)
{
    std::vector<AtspiFacts> facts(objects.size());
    std::vector<DBusPendingCall*> pending(objects.size() * requestCount, nullptr);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        AtspiAccessible* object = objects[i];
        if (object == nullptr || object->parent.app == nullptr || object->parent.app->bus_name == nullptr ||
            object->parent.path == nullptr)
            continue;
        DBusConnection* bus = object->parent.app->bus != nullptr ? object->parent.app->bus : atspi_get_a11y_bus();
        // An element's role does not change: once known it stays in the
        // library's cache (kept current by role-change events), and later
        // markings do not ask again.
        const bool roleKnown = _atspi_accessible_test_cache(object, ATSPI_CACHE_ROLE);
        if (roleKnown) facts[i].role = object->role;
        for (int r = 0; r < requestCount; ++r) {
            if (r == role && roleKnown) continue;
            DBusMessage* message = request(object, static_cast<Request>(r));
            if (message == nullptr) continue;
            if (!dbus_connection_send_with_reply(bus, message, &pending[i * requestCount + r], timeoutMs))
                pending[i * requestCount + r] = nullptr;
            dbus_message_unref(message);
        }
        dbus_connection_flush(bus);
    }
    for (std::size_t k = 0; k < pending.size(); ++k) {
        DBusPendingCall* call = pending[k];
        if (call == nullptr) continue;
        dbus_pending_call_block(call);
        if (DBusMessage* reply = dbus_pending_call_steal_reply(call); reply != nullptr) {
            const auto which = static_cast<Request>(k % requestCount);
            AtspiFacts& fact = facts[k / requestCount];
            readReply(reply, which, fact);
            if (which == role && fact.role) {
                AtspiAccessible* object = objects[k / requestCount];
                object->role = *fact.role;
                _atspi_accessible_add_cache(object, ATSPI_CACHE_ROLE);
            }
            dbus_message_unref(reply);
        }
        dbus_pending_call_unref(call);
    }
    return facts;
}

std::vector<AtspiAccessible*> childrenInBulk(AtspiAccessible* parent, int first, int count, int timeoutMs)
{
    std::vector<AtspiAccessible*> children(static_cast<std::size_t>(std::max(count, 0)), nullptr);
    if (parent == nullptr || parent->parent.app == nullptr || parent->parent.app->bus_name == nullptr ||
        parent->parent.path == nullptr)
        return children;
    DBusConnection* bus = parent->parent.app->bus != nullptr ? parent->parent.app->bus : atspi_get_a11y_bus();
    std::vector<DBusPendingCall*> pending(children.size(), nullptr);
    for (std::size_t i = 0; i < children.size(); ++i) {
        DBusMessage* message = dbus_message_new_method_call(parent->parent.app->bus_name, parent->parent.path,
                                                            accessibleInterface, "GetChildAtIndex");
        if (message == nullptr) continue;
        dbus_int32_t index = first + static_cast<int>(i);
        dbus_message_append_args(message, DBUS_TYPE_INT32, &index, DBUS_TYPE_INVALID);
        if (!dbus_connection_send_with_reply(bus, message, &pending[i], timeoutMs)) pending[i] = nullptr;
        dbus_message_unref(message);
    }
    dbus_connection_flush(bus);
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (pending[i] == nullptr) continue;
        dbus_pending_call_block(pending[i]);
        if (DBusMessage* reply = dbus_pending_call_steal_reply(pending[i]); reply != nullptr) {
            DBusMessageIter iter;
            if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN &&
                std::string_view(dbus_message_get_signature(reply)) == "(so)" && dbus_message_iter_init(reply, &iter))
                children[i] = referenceAt(&iter);
            dbus_message_unref(reply);
        }
        dbus_pending_call_unref(pending[i]);
    }
    return children;
}

} // namespace twk
