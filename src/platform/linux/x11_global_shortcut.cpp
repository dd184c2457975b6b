#include "platform/linux/x11_global_shortcut.h"

#include "platform/linux/xkb_key_names.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <map>

namespace twk {
namespace {

constexpr uint8_t badAccess = 10;

Error shortcutError(int code, const std::string& what)
{
    return Error("twk.shortcut", code, what);
}

/// The keysym of a key name of ShortcutKeys; 0 for none.
uint32_t keysymFor(const std::string& key)
{
    const std::string name = xkbKeyName(key);
    return name.empty() ? 0 : static_cast<uint32_t>(XStringToKeysym(name.c_str()));
}

/// The keyboard's layout: which keycodes produce a keysym, which modifier
/// bit a modifier key sets.
class Keyboard {
public:
    explicit Keyboard(xcb_connection_t* c) : setup_(xcb_get_setup(c))
    {
        const uint8_t first = setup_->min_keycode;
        const uint8_t count = static_cast<uint8_t>(setup_->max_keycode - first + 1);
        auto keys = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, count), nullptr);
        auto mods = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
        if (keys != nullptr) {
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(keys);
            const int perCode = keys->keysyms_per_keycode;
            for (int code = 0; code < count; ++code)
                for (int column = 0; column < perCode; ++column)
                    if (syms[code * perCode + column] != 0)
                        keycodes_.emplace(syms[code * perCode + column], static_cast<uint8_t>(first + code));
        }
        if (mods != nullptr) {
            const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mods);
            for (int bit = 0; bit < 8; ++bit)
                for (int i = 0; i < mods->keycodes_per_modifier; ++i)
                    if (codes[bit * mods->keycodes_per_modifier + i] != 0)
                        modifierOf_.emplace(codes[bit * mods->keycodes_per_modifier + i], static_cast<uint16_t>(1 << bit));
        }
        std::free(keys);
        std::free(mods);
    }

    std::vector<uint8_t> keycodes(uint32_t keysym) const
    {
        std::vector<uint8_t> codes;
        const auto [from, to] = keycodes_.equal_range(keysym);
        for (auto it = from; it != to; ++it)
            if (codes.empty() || codes.back() != it->second) codes.push_back(it->second);
        return codes;
    }

    /// The modifier bit that a key producing `keysym` sets, else `fallback`.
    uint16_t modifier(uint32_t keysym, uint16_t fallback) const
    {
        for (const uint8_t code : keycodes(keysym))
            if (const auto it = modifierOf_.find(code); it != modifierOf_.end()) return it->second;
        return fallback;
    }

private:
    const xcb_setup_t* setup_;
    std::multimap<uint32_t, uint8_t> keycodes_;
    std::map<uint8_t, uint16_t> modifierOf_;
};

} // namespace

X11GlobalShortcut::X11GlobalShortcut(std::string displayName) : displayName_(std::move(displayName)) {}

X11GlobalShortcut::~X11GlobalShortcut()
{
    notifier_.reset();
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

VoidResult X11GlobalShortcut::connectOnce()
{
    if (connection_ != nullptr && xcb_connection_has_error(connection_) == 0) return Unit{};
    notifier_.reset();
    if (connection_ != nullptr) xcb_disconnect(connection_);
    connection_ = xcb_connect(displayName_.empty() ? nullptr : displayName_.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0)
        return shortcutError(unavailableCode, "no X11 display to take a global shortcut on");
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    return Unit{};
}

void X11GlobalShortcut::release()
{
    for (const auto& grab : grabs_) xcb_ungrab_key(connection_, grab.keycode, root_, grab.modifiers);
    grabs_.clear();
    if (connection_ != nullptr) xcb_flush(connection_);
}

void X11GlobalShortcut::bind(const ShortcutKeys& combination, std::function<void()> onPressed,
                             std::function<void(VoidResult)> onBound)
{
    onPressed_ = nullptr;
    auto grabbed = grab(combination);
    if (grabbed) onPressed_ = std::move(onPressed);
    // Checking the grabs may have queued events the socket will not announce again.
    readEvents();
    onBound(std::move(grabbed));
}

VoidResult X11GlobalShortcut::grab(const ShortcutKeys& combination)
{
    if (auto connected = connectOnce(); !connected) return connected;
    release();
    const Keyboard keyboard(connection_);
    const auto keycodes = keyboard.keycodes(keysymFor(combination.key));
    if (keycodes.empty())
        return shortcutError(4, "the keyboard has no " + combination.key + " key for " + combination.text());

    modifiers_ = 0;
    if (combination.shift) modifiers_ |= XCB_MOD_MASK_SHIFT;
    if (combination.control) modifiers_ |= XCB_MOD_MASK_CONTROL;
    if (combination.alt) modifiers_ |= keyboard.modifier(XK_Alt_L, XCB_MOD_MASK_1);
    if (combination.super) modifiers_ |= keyboard.modifier(XK_Super_L, XCB_MOD_MASK_4);
    const uint16_t numLock = keyboard.modifier(XK_Num_Lock, XCB_MOD_MASK_2);
    ignoredModifiers_ = static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLock);

    // Every grab is sent before any answer is awaited: one round trip.
    const std::array<uint16_t, 4> locks{0, XCB_MOD_MASK_LOCK, numLock, static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLock)};
    std::vector<std::pair<Grab, xcb_void_cookie_t>> sent;
    for (const uint8_t keycode : keycodes)
        for (const uint16_t lock : locks) {
            const Grab grab{keycode, static_cast<uint16_t>(modifiers_ | lock)};
            sent.emplace_back(grab, xcb_grab_key_checked(connection_, 1, root_, grab.modifiers, grab.keycode,
                                                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    bool taken = false;
    for (auto& [grab, cookie] : sent) {
        xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
        if (error == nullptr) {
            grabs_.push_back(grab);
        } else {
            taken = taken || error->error_code == badAccess;
            std::free(error);
        }
    }
    if (taken || grabs_.empty()) {
        release();
        return shortcutError(taken ? takenCode : 5, combination.text() + (taken ? " is taken by another program"
                                                                                 : " could not be taken"));
    }
    return Unit{};
}

void X11GlobalShortcut::readEvents()
{
    if (connection_ == nullptr) return;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
            const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
            const bool ours = (key->state & ~ignoredModifiers_ & 0xff) == modifiers_;
            if (type == XCB_KEY_RELEASE) {
                lastRelease_ = key->time;
            } else if (ours && key->time != lastRelease_ && onPressed_) {
                // Key repeat arrives as a release and a press at the same time.
                onPressed_();
            }
        }
        std::free(event);
    }
    if (xcb_connection_has_error(connection_) != 0) notifier_->setEnabled(false);
}

} // namespace twk
