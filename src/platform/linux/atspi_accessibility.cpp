#include "platform/linux/atspi_accessibility.h"

#include "common/log.h"
#include "common/utf8.h"
#include "platform/linux/atspi_bulk_reads.h"
#include "platform/linux/atspi_key_binding.h"
#include "platform/linux/atspi_roles.h"
#include "platform/linux/ewmh_windows.h"

#include <atspi/atspi.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <deque>
#include <unordered_map>

namespace twk {
namespace {

constexpr int callTimeoutMs = 2000;
/// Children read of one element at most (a list of 100,000 rows is cut).
constexpr int maxChildren = 10000;
/// Nodes searched for a window's menu bar when the application cannot be
/// asked for it in one call.
constexpr int menuBarSearchBudget = 400;

/// One handle on an AT-SPI object. `menuContainer` marks the AXMenu that a
/// named menu (GTK's menu titles and submenus) gets as its only child, so
/// that its items sit one level down as in the AX model.
class AtspiElement final : public AXElement {
public:
    AtspiElement(AtspiAccessible* object, bool container) : object_(object), container_(container)
    {
        g_object_ref(object_);
    }
    ~AtspiElement() override { g_object_unref(object_); }
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;
    std::uintptr_t identity() const override { return reinterpret_cast<std::uintptr_t>(object_) + (container_ ? 1 : 0); }
    AtspiAccessible* object() const { return object_; }
    bool container() const { return container_; }

private:
    AtspiAccessible* object_;
    bool container_;
};

AXElementRef wrap(AtspiAccessible* object, bool container = false)
{
    return object == nullptr ? nullptr : std::make_shared<AtspiElement>(object, container);
}

/// Takes ownership of a returned reference.
AXElementRef adopt(AtspiAccessible* object, bool container = false)
{
    auto element = wrap(object, container);
    if (object != nullptr) g_object_unref(object);
    return element;
}

const AtspiElement* unwrap(const AXElementRef& element) { return dynamic_cast<const AtspiElement*>(element.get()); }

/// Runs an AT-SPI call's error out: true when it failed.
bool failed(GError*& error)
{
    if (error == nullptr) return false;
    g_error_free(error);
    error = nullptr;
    return true;
}

std::string text(gchar* owned)
{
    if (owned == nullptr) return {};
    std::string s = withValidUtf8(owned);
    g_free(owned);
    return s;
}

std::string trimmed(std::string s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

struct Rect {
    long x = 0, y = 0, width = 0, height = 0;
};

} // namespace

struct AtspiAccessibility::State {
    std::thread::id owner;
    GMainContext* context = nullptr;
    bool started = false;
    std::unique_ptr<EwmhWindows> windows;
    Rect screen{0, 0, 0, 0};
    AtspiEventListener* listener = nullptr;
    bool bulk = true;
    /// Answers read ahead in bulk, until the next refresh; the objects are
    /// held so that their addresses stay theirs.
    std::unordered_map<AtspiAccessible*, AtspiFacts> facts;

    ~State()
    {
        forget();
        if (listener != nullptr) g_object_unref(listener);
        if (context != nullptr) g_main_context_unref(context);
    }

    const AtspiFacts* known(AtspiAccessible* object) const
    {
        const auto it = facts.find(object);
        return it == facts.end() ? nullptr : &it->second;
    }

    /// Per parent read through Collection: how many children were read and
    /// the last of them, where the next range starts. Held until refresh.
    std::unordered_map<AtspiAccessible*, std::pair<std::size_t, AtspiAccessible*>> ranges;

    void forget()
    {
        for (auto& [object, fact] : facts) g_object_unref(object);
        facts.clear();
        for (auto& [parent, range] : ranges) {
            g_object_unref(parent);
            if (range.second != nullptr) g_object_unref(range.second);
        }
        ranges.clear();
    }

    /// Children `first` on of `parent` in one request, where the application
    /// offers Collection and the range continues the last one read (or
    /// starts at the first child); nothing otherwise.
    std::optional<std::vector<AtspiAccessible*>> childrenByCollection(AtspiAccessible* parent, std::size_t first,
                                                                      std::size_t count)
    {
        AtspiAccessible* previous = nullptr;
        if (first > 0) {
            const auto it = ranges.find(parent);
            if (it == ranges.end() || it->second.first != first || it->second.second == nullptr) return std::nullopt;
            previous = it->second.second;
        }
        AtspiCollection* collection = atspi_accessible_get_collection_iface(parent);
        if (collection == nullptr) return std::nullopt;
        g_object_unref(collection);
        auto children = twk::childrenByCollection(parent, previous, static_cast<int>(count), callTimeoutMs);
        // A short answer that is not the end leaves the rest to the per-child reads.
        if (!children || children->empty() || children->size() < count || children->back() == nullptr) {
            if (children)
                for (AtspiAccessible* child : *children)
                    if (child != nullptr) g_object_unref(child);
            return std::nullopt;
        }
        auto [it, added] = ranges.try_emplace(parent, 0, nullptr);
        if (added) g_object_ref(parent);
        if (it->second.second != nullptr) g_object_unref(it->second.second);
        it->second = {first + children->size(), static_cast<AtspiAccessible*>(g_object_ref(children->back()))};
        return children;
    }

    void readAhead(const std::vector<AtspiAccessible*>& objects)
    {
        std::vector<AtspiAccessible*> wanted;
        for (AtspiAccessible* object : objects)
            if (object != nullptr && facts.find(object) == facts.end()) wanted.push_back(object);
        if (wanted.empty()) return;
        auto read = readFactsInBulk(wanted, callTimeoutMs);
        for (std::size_t i = 0; i < wanted.size(); ++i)
            facts.emplace(static_cast<AtspiAccessible*>(g_object_ref(wanted[i])), std::move(read[i]));
    }

    AtspiStateSet* states(AtspiAccessible* object)
    {
        return atspi_accessible_get_state_set(object); // never null
    }

    bool hasState(AtspiAccessible* object, AtspiStateType type)
    {
        if (const AtspiFacts* f = known(object); f != nullptr && f->states) return (*f->states >> type) & 1;
        AtspiStateSet* set = states(object);
        const bool has = atspi_state_set_contains(set, type);
        g_object_unref(set);
        return has;
    }

    std::optional<AtspiRole> role(AtspiAccessible* object)
    {
        if (const AtspiFacts* f = known(object); f != nullptr && f->role) return f->role;
        GError* error = nullptr;
        const AtspiRole r = atspi_accessible_get_role(object, &error);
        if (failed(error)) return std::nullopt;
        return r;
    }

    std::vector<AtspiAccessible*> childObjects(AtspiAccessible* object)
    {
        GError* error = nullptr;
        const int count = std::min(atspi_accessible_get_child_count(object, &error), maxChildren);
        std::vector<AtspiAccessible*> kids;
        if (failed(error)) return kids;
        for (int i = 0; i < count; ++i) {
            AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, &error);
            if (failed(error)) break; // gone mid-read: what was read stands
            if (child != nullptr) kids.push_back(child);
        }
        return kids;
    }

    std::optional<Rect> frame(AtspiAccessible* object)
    {
        if (!hasState(object, ATSPI_STATE_SHOWING)) return std::nullopt;
        Rect got;
        if (const AtspiFacts* f = known(object); f != nullptr && f->extents) {
            got = {f->extents->x, f->extents->y, f->extents->width, f->extents->height};
        } else {
            AtspiComponent* component = atspi_accessible_get_component_iface(object);
            if (component == nullptr) return std::nullopt;
            GError* error = nullptr;
            AtspiRect* r = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, &error);
            g_object_unref(component);
            if (failed(error) || r == nullptr) return std::nullopt;
            got = {r->x, r->y, r->width, r->height};
            g_free(r);
        }
        // Off-screen rows and closed menus' items sit at INT_MIN: no frame.
        if (got.x <= INT_MIN / 2 || got.y <= INT_MIN / 2 || got.width <= 0 || got.height <= 0) return std::nullopt;
        if (screen.width > 0) {
            const long left = std::max(got.x, screen.x), top = std::max(got.y, screen.y);
            const long right = std::min(got.x + got.width, screen.x + screen.width);
            const long bottom = std::min(got.y + got.height, screen.y + screen.height);
            if (right <= left || bottom <= top) return std::nullopt;
            got = {left, top, right - left, bottom - top};
        }
        return got;
    }

    std::string objectAttribute(AtspiAccessible* object, const char* key)
    {
        GError* error = nullptr;
        GHashTable* attributes = atspi_accessible_get_attributes(object, &error);
        if (failed(error) || attributes == nullptr) return {};
        const auto* found = static_cast<const gchar*>(g_hash_table_lookup(attributes, key));
        std::string value = found != nullptr ? withValidUtf8(found) : std::string();
        g_hash_table_unref(attributes);
        return value;
    }

    std::optional<AXValue> value(AtspiAccessible* object, AtspiRole r)
    {
        if (isCheckable(r)) {
            const double v = hasState(object, ATSPI_STATE_INDETERMINATE)                                        ? 2
                             : hasState(object, ATSPI_STATE_CHECKED) || hasState(object, ATSPI_STATE_PRESSED) ? 1
                                                                                                              : 0;
            return AXValue(v);
        }
        if (r == ATSPI_ROLE_PASSWORD_TEXT) return std::nullopt; // never read out a password
        // The role first: asking for the interface costs a round trip.
        if (AtspiValue* numeric = hasNumericValue(r) ? atspi_accessible_get_value_iface(object) : nullptr;
            numeric != nullptr) {
            GError* error = nullptr;
            const double v = atspi_value_get_current_value(numeric, &error);
            g_object_unref(numeric);
            if (failed(error)) return std::nullopt;
            return AXValue(v);
        }
        if (isTextEntry(r)) {
            AtspiText* textIface = atspi_accessible_get_text_iface(object);
            if (textIface == nullptr) return std::nullopt;
            GError* error = nullptr;
            const int count = atspi_text_get_character_count(textIface, &error);
            std::optional<AXValue> result;
            if (!failed(error)) {
                gchar* contents = atspi_text_get_text(textIface, 0, std::min(count, 1 << 20), &error);
                if (!failed(error)) result = AXValue(text(contents));
            }
            g_object_unref(textIface);
            return result;
        }
        return std::nullopt;
    }

    /// Actions as (AX name, AT-SPI index), each AX name once.
    std::optional<std::vector<std::pair<std::string, int>>> actions(AtspiAccessible* object)
    {
        if (const AtspiFacts* f = known(object); f != nullptr && f->actions) {
            std::vector<std::pair<std::string, int>> found;
            for (std::size_t i = 0; i < f->actions->size() && i < 32; ++i) {
                const std::string ax = axActionName((*f->actions)[i].first);
                if (ax.empty()) continue;
                if (std::none_of(found.begin(), found.end(), [&](const auto& a) { return a.first == ax; }))
                    found.emplace_back(ax, static_cast<int>(i));
            }
            return found;
        }
        AtspiAction* action = atspi_accessible_get_action_iface(object);
        if (action == nullptr) return std::vector<std::pair<std::string, int>>{};
        GError* error = nullptr;
        const int count = atspi_action_get_n_actions(action, &error);
        std::vector<std::pair<std::string, int>> found;
        if (failed(error)) {
            g_object_unref(action);
            return std::nullopt;
        }
        for (int i = 0; i < count && i < 32; ++i) {
            const std::string name = text(atspi_action_get_action_name(action, i, &error));
            if (failed(error)) continue;
            const std::string ax = axActionName(name);
            if (ax.empty()) continue;
            if (std::none_of(found.begin(), found.end(), [&](const auto& a) { return a.first == ax; }))
                found.emplace_back(ax, i);
        }
        g_object_unref(action);
        return found;
    }

    std::optional<CommandKey> commandKey(AtspiAccessible* object)
    {
        if (const AtspiFacts* f = known(object); f != nullptr && f->actions) {
            for (std::size_t i = 0; i < f->actions->size() && i < 8; ++i)
                if (auto key = parseKeyBinding((*f->actions)[i].second)) return key;
            return std::nullopt;
        }
        AtspiAction* action = atspi_accessible_get_action_iface(object);
        if (action == nullptr) return std::nullopt;
        GError* error = nullptr;
        const int count = atspi_action_get_n_actions(action, &error);
        std::optional<CommandKey> key;
        for (int i = 0; !failed(error) && i < count && i < 8 && !key; ++i) {
            const std::string binding = text(atspi_action_get_key_binding(action, i, &error));
            if (!failed(error)) key = parseKeyBinding(binding);
        }
        g_object_unref(action);
        return key;
    }

    AtspiAccessible* activeWindow(AtspiAccessible* app, bool orFirst)
    {
        AtspiAccessible* first = nullptr;
        AtspiAccessible* active = nullptr;
        // States read now, all windows at once: the library's cached ones
        // can miss the activation of a window that has just appeared, for
        // seconds.
        const auto frames = childObjects(app);
        const auto fresh = readFactsInBulk(frames, callTimeoutMs);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            AtspiAccessible* window = frames[i];
            const bool isActive = fresh[i].states ? ((*fresh[i].states >> ATSPI_STATE_ACTIVE) & 1) != 0
                                                  : hasState(window, ATSPI_STATE_ACTIVE);
            if (active == nullptr && isActive) active = g_object_ref(window);
            if (first == nullptr) first = g_object_ref(window);
            g_object_unref(window);
        }
        if (active != nullptr) {
            if (first != nullptr) g_object_unref(first);
            return active;
        }
        if (orFirst) return first;
        if (first != nullptr) g_object_unref(first);
        return nullptr;
    }

    /// The window's menu bar: one Collection query where the toolkit offers
    /// it, else a bounded breadth-first search that stays out of menus,
    /// lists and tables.
    AtspiAccessible* menuBar(AtspiAccessible* window)
    {
        if (AtspiCollection* collection = atspi_accessible_get_collection_iface(window); collection != nullptr) {
            AtspiRole wanted[] = {ATSPI_ROLE_MENU_BAR};
            GArray* roles = g_array_new(FALSE, FALSE, sizeof(AtspiRole));
            g_array_append_vals(roles, wanted, 1);
            AtspiMatchRule* rule = atspi_match_rule_new(nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
                                                        ATSPI_Collection_MATCH_NONE, roles, ATSPI_Collection_MATCH_ANY,
                                                        nullptr, ATSPI_Collection_MATCH_NONE, FALSE);
            g_array_unref(roles);
            GError* error = nullptr;
            GArray* matches =
                atspi_collection_get_matches(collection, rule, ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
            g_object_unref(rule);
            g_object_unref(collection);
            if (!failed(error) && matches != nullptr) {
                AtspiAccessible* bar = matches->len > 0 ? g_array_index(matches, AtspiAccessible*, 0) : nullptr;
                if (bar != nullptr) g_object_ref(bar);
                for (guint i = 0; i < matches->len; ++i) g_object_unref(g_array_index(matches, AtspiAccessible*, i));
                g_array_free(matches, TRUE);
                if (bar != nullptr) return bar;
            }
        }
        std::deque<std::pair<AtspiAccessible*, int>> queue{{g_object_ref(window), 0}};
        int budget = menuBarSearchBudget;
        AtspiAccessible* bar = nullptr;
        while (!queue.empty()) {
            auto [object, depth] = queue.front();
            queue.pop_front();
            const auto r = role(object);
            if (bar == nullptr && r == ATSPI_ROLE_MENU_BAR) bar = g_object_ref(object);
            else if (bar == nullptr && depth < 6 && budget > 0 && r && !isLeafForSearch(*r)) {
                for (AtspiAccessible* child : childObjects(object)) {
                    if (--budget >= 0) queue.emplace_back(child, depth + 1);
                    else g_object_unref(child);
                }
            }
            g_object_unref(object);
        }
        return bar;
    }
};

AtspiAccessibility::AtspiAccessibility() : state_(std::make_unique<State>()) {}

AtspiAccessibility::~AtspiAccessibility() = default;

bool AtspiAccessibility::ready()
{
    if (state_->started) return state_->owner == std::this_thread::get_id();
    state_->started = true;
    state_->owner = std::this_thread::get_id();
    // AT-SPI's connection dispatches on this thread's own context, never on
    // the main thread's (Qt runs the default GLib context there).
    state_->context = g_main_context_new();
    g_main_context_push_thread_default(state_->context);
    if (atspi_init() > 1) {
        logLine("[twk] accessibility: the AT-SPI bus cannot be reached");
        return false;
    }
    atspi_set_main_context(state_->context);
    atspi_set_timeout(callTimeoutMs, callTimeoutMs);
    // Applications send change events only to listeners, and the library's
    // cache of names and states only learns of changes through them.
    state_->listener = atspi_event_listener_new_simple(
        [](const AtspiEvent* event) { g_boxed_free(ATSPI_TYPE_EVENT, const_cast<AtspiEvent*>(event)); }, nullptr);
    for (const char* event : {"object:state-changed", "object:property-change"}) {
        GError* error = nullptr;
        atspi_event_listener_register(state_->listener, event, &error);
        if (failed(error)) logLine(std::string("[twk] accessibility: cannot follow ") + event);
    }
    const char* display = std::getenv("DISPLAY");
    state_->windows = EwmhWindows::open(display != nullptr ? display : "");
    int screenNumber = 0;
    if (xcb_connection_t* x = xcb_connect(nullptr, &screenNumber); x != nullptr) {
        if (xcb_connection_has_error(x) == 0) {
            auto it = xcb_setup_roots_iterator(xcb_get_setup(x));
            for (int i = 0; i < screenNumber && it.rem > 0; ++i) xcb_screen_next(&it);
            if (it.rem > 0) state_->screen = {0, 0, it.data->width_in_pixels, it.data->height_in_pixels};
        }
        xcb_disconnect(x);
    }
    return true;
}

void AtspiAccessibility::setBulkReads(bool on) { state_->bulk = on; }

void AtspiAccessibility::prefetch(const std::vector<AXElementRef>& elements)
{
    if (!state_->bulk || !ready()) return;
    std::vector<AtspiAccessible*> objects;
    for (const auto& element : elements)
        if (const AtspiElement* handle = unwrap(element); handle != nullptr && !handle->container())
            objects.push_back(handle->object());
    state_->readAhead(objects);
}

void AtspiAccessibility::refresh()
{
    if (!ready()) return;
    state_->forget();
    for (int i = 0; i < 100000 && g_main_context_iteration(state_->context, FALSE); ++i) {
    }
}

bool AtspiAccessibility::isProcessTrusted(bool)
{
    if (!ready()) return false;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (desktop == nullptr) return false;
    GError* error = nullptr;
    atspi_accessible_get_child_count(desktop, &error);
    g_object_unref(desktop);
    return !failed(error);
}

bool AtspiAccessibility::openAccessibilitySettings() { return false; }

std::optional<int> AtspiAccessibility::frontmostApplicationPid(int excludedPid)
{
    if (!ready() || !state_->windows || !state_->windows->usable()) return std::nullopt;
    EwmhWindows& x = *state_->windows;
    if (const auto active = x.activeWindow()) {
        const auto facts = x.describe({*active});
        if (!facts.empty() && facts.front().pid > 0 && facts.front().pid != excludedPid &&
            !facts.front().desktopComponent)
            return facts.front().pid;
    }
    const auto stacked = x.describe(x.stackingOrder());
    for (auto it = stacked.rbegin(); it != stacked.rend(); ++it)
        if (it->pid > 0 && it->pid != excludedPid && !it->desktopComponent) return it->pid;
    return std::nullopt;
}

AXElementRef AtspiAccessibility::applicationElement(int pid)
{
    if (!ready() || pid <= 0) return nullptr;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (desktop == nullptr) return nullptr;
    AXElementRef found;
    for (AtspiAccessible* app : state_->childObjects(desktop)) {
        GError* error = nullptr;
        const guint appPid = atspi_accessible_get_process_id(app, &error);
        if (!failed(error) && !found && static_cast<int>(appPid) == pid) {
            // Names, roles, states and attributes come from the library's
            // cache, kept current by the events refresh() pumps. Children
            // stay uncached: the cached lists went wrong in GTK.
            atspi_accessible_set_cache_mask(app, AtspiCache(ATSPI_CACHE_ALL & ~ATSPI_CACHE_CHILDREN));
            found = wrap(app);
        }
        g_object_unref(app);
    }
    g_object_unref(desktop);
    return found;
}

std::optional<AXValue> AtspiAccessibility::attribute(const AXElementRef& element, std::string_view name)
{
    const AtspiElement* handle = unwrap(element);
    if (handle == nullptr || !ready()) return std::nullopt;
    AtspiAccessible* object = handle->object();
    State& s = *state_;

    if (handle->container()) {
        if (name == "AXRole") return AXValue(std::string("AXMenu"));
        if (name == "AXChildren") {
            std::vector<AXElementRef> kids;
            for (AtspiAccessible* child : s.childObjects(object)) kids.push_back(adopt(child));
            return AXValue(std::move(kids));
        }
        return std::nullopt;
    }

    const auto r = s.role(object);
    if (!r) return std::nullopt;
    const auto parentRole = [&]() -> std::optional<AtspiRole> {
        GError* error = nullptr;
        AtspiAccessible* parent = atspi_accessible_get_parent(object, &error);
        failed(error);
        if (parent == nullptr) return std::nullopt;
        const auto got = s.role(parent);
        g_object_unref(parent);
        return got;
    };
    if (name == "AXRole") {
        const std::optional<AtspiRole> parent = needsParentRole(*r) ? parentRole() : std::nullopt;
        const bool multiLine = needsStates(*r) && s.hasState(object, ATSPI_STATE_MULTI_LINE);
        const bool editable = needsStates(*r) && s.hasState(object, ATSPI_STATE_EDITABLE);
        return AXValue(axRole(*r, parent, multiLine, editable));
    }
    GError* error = nullptr;
    if (name == "AXTitle") {
        if (const AtspiFacts* f = s.known(object); f != nullptr && f->name) return AXValue(trimmed(*f->name));
        std::string title = trimmed(text(atspi_accessible_get_name(object, &error)));
        if (failed(error)) return std::nullopt;
        return AXValue(std::move(title));
    }
    if (name == "AXDescription") {
        std::string description = text(atspi_accessible_get_description(object, &error));
        if (failed(error)) return std::nullopt;
        return AXValue(std::move(description));
    }
    if (name == "AXHelp") {
        std::string help = s.objectAttribute(object, "tooltip");
        if (help.empty()) help = s.objectAttribute(object, "help-text");
        return AXValue(std::move(help));
    }
    if (name == "AXPlaceholderValue") return AXValue(s.objectAttribute(object, "placeholder-text"));
    if (name == "AXRoleDescription") {
        std::string description = text(atspi_accessible_get_localized_role_name(object, &error));
        if (failed(error)) return std::nullopt;
        return AXValue(std::move(description));
    }
    if (name == "AXValue") return s.value(object, *r);
    if (name == "AXSelected") {
        if (!s.hasState(object, ATSPI_STATE_SELECTABLE)) return std::nullopt;
        return AXValue(s.hasState(object, ATSPI_STATE_SELECTED));
    }
    if (name == "AXEnabled") return AXValue(s.hasState(object, ATSPI_STATE_ENABLED));
    if (name == "AXFocused") return AXValue(s.hasState(object, ATSPI_STATE_FOCUSED));
    if (name == "AXPosition" || name == "AXSize") {
        const auto frame = s.frame(object);
        if (!frame) return std::nullopt;
        if (name == "AXPosition") return AXValue(AXPoint{double(frame->x), double(frame->y)});
        return AXValue(AXSize{double(frame->width), double(frame->height)});
    }
    if (name == "AXChildren") {
        std::vector<AXElementRef> kids;
        if (*r == ATSPI_ROLE_MENU && menuActsAsItem(*r, parentRole())) {
            kids.push_back(wrap(object, true));
            return AXValue(std::move(kids));
        }
        for (AtspiAccessible* child : s.childObjects(object)) kids.push_back(adopt(child));
        return AXValue(std::move(kids));
    }
    if (name == "AXFocusedWindow") {
        if (*r != ATSPI_ROLE_APPLICATION) return std::nullopt;
        AXElementRef window = adopt(s.activeWindow(object, false));
        if (!window) return std::nullopt;
        return AXValue(std::move(window));
    }
    if (name == "AXMenuBar") {
        if (*r != ATSPI_ROLE_APPLICATION) return std::nullopt;
        AtspiAccessible* window = s.activeWindow(object, true);
        if (window == nullptr) return std::nullopt;
        AXElementRef bar = adopt(s.menuBar(window));
        g_object_unref(window);
        if (!bar) return std::nullopt;
        return AXValue(std::move(bar));
    }
    if (name == "AXMenuItemCmdChar" || name == "AXMenuItemCmdModifiers") {
        if (!isMenuItem(*r)) return std::nullopt;
        const auto key = s.commandKey(object);
        if (!key) return std::nullopt;
        if (name == "AXMenuItemCmdChar") return AXValue(key->key);
        return AXValue(double(key->modifiers));
    }
    return std::nullopt;
}

std::size_t AtspiAccessibility::childCount(const AXElementRef& element)
{
    const AtspiElement* handle = unwrap(element);
    if (handle == nullptr || !ready()) return 0;
    if (!handle->container()) {
        const auto r = state_->role(handle->object());
        if (!r) return 0;
        if (*r == ATSPI_ROLE_MENU) {
            const auto list = attribute(element, "AXChildren");
            return list ? std::get<std::vector<AXElementRef>>(*list).size() : 0;
        }
    }
    int count = 0;
    if (const AtspiFacts* f = state_->known(handle->object()); f != nullptr && f->childCount && !handle->container()) {
        count = *f->childCount;
    } else {
        GError* error = nullptr;
        count = atspi_accessible_get_child_count(handle->object(), &error);
        if (failed(error)) return 0;
    }
    return static_cast<std::size_t>(std::clamp(count, 0, maxChildren));
}

AXElementRef AtspiAccessibility::childAt(const AXElementRef& element, std::size_t index)
{
    const AtspiElement* handle = unwrap(element);
    if (handle == nullptr || !ready() || index >= static_cast<std::size_t>(maxChildren)) return nullptr;
    if (!handle->container() && state_->role(handle->object()) == ATSPI_ROLE_MENU) {
        auto list = attribute(element, "AXChildren");
        if (!list) return nullptr;
        auto& kids = std::get<std::vector<AXElementRef>>(*list);
        return index < kids.size() ? std::move(kids[index]) : nullptr;
    }
    GError* error = nullptr;
    AtspiAccessible* child = atspi_accessible_get_child_at_index(handle->object(), static_cast<int>(index), &error);
    if (failed(error)) return nullptr;
    return adopt(child);
}

std::vector<AXElementRef> AtspiAccessibility::childRange(const AXElementRef& element, std::size_t first,
                                                        std::size_t count)
{
    // Only the children asked for, all requested at once when reading ahead.
    std::vector<AXElementRef> range;
    const std::size_t total = childCount(element);
    const AtspiElement* handle = unwrap(element);
    if (handle == nullptr || first >= total) return range;
    const std::size_t wanted = std::min(count, total - first);
    if (state_->bulk && !handle->container() && state_->role(handle->object()) != ATSPI_ROLE_MENU) {
        AtspiAccessible* parent = handle->object();
        if (auto byCollection = state_->childrenByCollection(parent, first, wanted)) {
            for (AtspiAccessible* child : *byCollection) range.push_back(adopt(child));
            return range;
        }
        for (AtspiAccessible* child :
             childrenInBulk(parent, static_cast<int>(first), static_cast<int>(wanted), callTimeoutMs))
            range.push_back(adopt(child));
        return range;
    }
    for (std::size_t i = first; i < first + wanted; ++i) range.push_back(childAt(element, i));
    return range;
}

bool AtspiAccessibility::isHidden(const AXElementRef& element)
{
    // Toolkits clear SHOWING on everything under a widget that is not
    // mapped; rows scrolled out of view may keep it, which only costs reads.
    // Only states just read count: the library's cached ones can lag behind
    // a window that has just appeared, and would hide all of it.
    const AtspiElement* handle = unwrap(element);
    if (handle == nullptr || handle->container() || !ready()) return false;
    const AtspiFacts* f = state_->known(handle->object());
    return f != nullptr && f->states && ((*f->states >> ATSPI_STATE_SHOWING) & 1) == 0;
}

std::optional<std::vector<std::string>> AtspiAccessibility::actionNames(const AXElementRef& element)
{
    const AtspiElement* handle = unwrap(element);
    if (handle == nullptr || !ready()) return std::nullopt;
    if (handle->container()) return std::vector<std::string>{};
    const auto found = state_->actions(handle->object());
    if (!found) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& [ax, index] : *found) names.push_back(ax);
    return names;
}

int AtspiAccessibility::performAction(const AXElementRef& element, std::string_view action)
{
    const AtspiElement* handle = unwrap(element);
    if (handle == nullptr || !ready()) return -1;
    if (handle->container()) return -2;
    const auto found = state_->actions(handle->object());
    if (!found) return -3;
    const auto it = std::find_if(found->begin(), found->end(), [&](const auto& a) { return a.first == action; });
    if (it == found->end()) return -2;
    AtspiAction* iface = atspi_accessible_get_action_iface(handle->object());
    if (iface == nullptr) return -2;
    GError* error = nullptr;
    const gboolean done = atspi_action_do_action(iface, it->second, &error);
    g_object_unref(iface);
    if (failed(error)) return -3;
    return done ? 0 : -4;
}

int AtspiAccessibility::setAttribute(const AXElementRef& element, std::string_view name, const AXValue& value)
{
    const AtspiElement* handle = unwrap(element);
    if (handle == nullptr || !ready() || handle->container()) return -1;
    AtspiAccessible* object = handle->object();
    GError* error = nullptr;
    gboolean done = FALSE;
    if (name == "AXValue" && std::holds_alternative<std::string>(value)) {
        AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(object);
        if (editable == nullptr) return -2;
        done = atspi_editable_text_set_text_contents(editable, std::get<std::string>(value).c_str(), &error);
        g_object_unref(editable);
    } else if (name == "AXValue" && std::holds_alternative<double>(value)) {
        AtspiValue* numeric = atspi_accessible_get_value_iface(object);
        if (numeric == nullptr) return -2;
        done = atspi_value_set_current_value(numeric, std::get<double>(value), &error);
        g_object_unref(numeric);
    } else if (name == "AXFocused" && std::holds_alternative<bool>(value) && std::get<bool>(value)) {
        AtspiComponent* component = atspi_accessible_get_component_iface(object);
        if (component == nullptr) return -2;
        done = atspi_component_grab_focus(component, &error);
        g_object_unref(component);
    } else {
        return -2;
    }
    if (failed(error)) return -3;
    return done ? 0 : -4;
}

} // namespace twk
