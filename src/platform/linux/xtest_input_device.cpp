#include "platform/linux/xtest_input_device.h"

#include "accessibility/user_characters.h"
#include "platform/linux/x11_error_trap.h"
#include "platform/linux/xtest_key_table.h"
#include "platform/linux/xtest_keymap.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace twk {
namespace {

constexpr unsigned buttonLeft = 1, buttonRight = 3, wheelUp = 4, wheelDown = 5, wheelLeft = 6, wheelRight = 7;

/// The keysyms that type one user-perceived character, in order.
std::vector<KeySym> keysymsOf(const std::string& character)
{
    std::vector<KeySym> out;
    const std::u32string cps = codePoints(character);
    for (size_t i = 0; i < cps.size(); ++i) {
        if (cps[i] == U'\n' && i > 0 && cps[i - 1] == U'\r') continue; // CR LF is one line break
        if (const auto s = keysymForCodePoint(cps[i])) out.push_back(*s);
    }
    return out;
}

} // namespace

XTestInputDevice::XTestInputDevice() = default;

bool XTestInputDevice::connected()
{
    if (opened_) return display_ != nullptr;
    opened_ = true;
    installQuietXErrorHandler();
    display_ = XOpenDisplay(nullptr);
    if (!connected()) return false;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        display_ = nullptr;
        return false;
    }
    keymap_ = std::make_unique<XKeymap>(display_);
    return true;
}

XTestInputDevice::~XTestInputDevice()
{
    if (display_ == nullptr) return;
    {
        std::lock_guard lock(mutex_);
        releaseAllLocked();
        keymap_.reset(); // gives lent keys back
    }
    XCloseDisplay(display_);
}

bool XTestInputDevice::usable()
{
    std::lock_guard lock(mutex_);
    return connected();
}

bool XTestInputDevice::fakeKey(unsigned keycode, bool down)
{
    if (!XTestFakeKeyEvent(display_, keycode, down ? True : False, CurrentTime)) return false;
    if (down)
        heldKeys_.push_back(keycode);
    else
        std::erase(heldKeys_, keycode);
    return true;
}

bool XTestInputDevice::fakeButton(unsigned button, bool down)
{
    if (!XTestFakeButtonEvent(display_, button, down ? True : False, CurrentTime)) return false;
    if (down)
        heldButtons_.push_back(button);
    else
        std::erase(heldButtons_, button);
    return true;
}

bool XTestInputDevice::pressKeysym(unsigned long keysym, bool down)
{
    auto place = keymap_->find(keysym);
    if (!place) {
        // A layout without this key: lend one for the press, long enough for
        // the target to see it (rare: the table's keys are on every layout
        // this runs with, but not always on their US keys).
        bool changed = false;
        if (keymap_->lend({keysym}, changed) == 0) return false;
        lentForPress_ = true;
        if (changed) std::this_thread::sleep_for(keyboardSettleTime());
        place = keymap_->find(keysym);
        if (!place) return false;
    }
    return fakeKey(place->keycode, down);
}

bool XTestInputDevice::postKey(int virtualKey, bool down, uint64_t modifierFlags)
{
    std::lock_guard lock(mutex_);
    if (!connected()) return false;
    const auto keysym = keysymForVirtualKey(virtualKey);
    if (!keysym) return false;
    drainEvents();
    if (down && lentForPress_) {
        // The key lent for the previous press was read long since: give it
        // back now rather than while its press might still be on its way.
        keymap_->restore();
        lentForPress_ = false;
    }
    refreshKeymap();
    const auto modifiers = modifierKeysyms(modifierFlags);
    bool ok = true;
    if (down) {
        for (const auto m : modifiers) ok = ok && pressKeysym(m, true);
        ok = ok && pressKeysym(*keysym, true);
    } else {
        ok = pressKeysym(*keysym, false);
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) ok = pressKeysym(*it, false) && ok;
    }
    // A press reaches the server together with its release: a process that
    // dies in between then leaves no key held down on the whole desktop.
    if (!down || !ok) XFlush(display_);
    return ok;
}

void XTestInputDevice::releaseAllLocked()
{
    if (display_ == nullptr) return;
    for (auto it = heldKeys_.rbegin(); it != heldKeys_.rend(); ++it)
        XTestFakeKeyEvent(display_, *it, False, CurrentTime);
    for (const unsigned button : heldButtons_) XTestFakeButtonEvent(display_, button, False, CurrentTime);
    heldKeys_.clear();
    heldButtons_.clear();
    XSync(display_, False);
}

void XTestInputDevice::releaseHeldKeys()
{
    std::lock_guard lock(mutex_);
    releaseAllLocked();
}

CharacterBatch XTestInputDevice::prepareCharacters(const std::vector<std::string>& upcoming)
{
    std::lock_guard lock(mutex_);
    if (!connected() || upcoming.empty()) return {};
    drainEvents();
    refreshKeymap();
    std::vector<KeySym> wanted;
    std::vector<size_t> endOf; // wanted.size() after each character
    for (const auto& character : upcoming) {
        const auto syms = keysymsOf(character);
        wanted.insert(wanted.end(), syms.begin(), syms.end());
        endOf.push_back(wanted.size());
    }
    bool changed = false;
    const size_t usable = keymap_->lend(wanted, changed);
    size_t count = 0;
    while (count < endOf.size() && endOf[count] <= usable) ++count;
    return {count, changed};
}

bool XTestInputDevice::postCharacter(const std::string& character)
{
    std::lock_guard lock(mutex_);
    if (!connected()) return false;
    const auto syms = keysymsOf(character);
    if (syms.empty()) return false;
    bool ok = true;
    for (const KeySym s : syms) {
        const auto place = keymap_->find(s);
        if (!place) {
            ok = false;
            continue;
        }
        unsigned shift = 0;
        if (place->shifted) {
            const auto shiftPlace = keymap_->find(XK_Shift_L);
            if (!shiftPlace) {
                ok = false;
                continue;
            }
            shift = shiftPlace->keycode;
            fakeKey(shift, true);
        }
        ok = fakeKey(place->keycode, true) && ok;
        ok = fakeKey(place->keycode, false) && ok;
        if (shift != 0) fakeKey(shift, false);
    }
    XFlush(display_);
    return ok;
}

void XTestInputDevice::finishCharacters()
{
    std::lock_guard lock(mutex_);
    if (keymap_) keymap_->restore();
    lentForPress_ = false;
}

Duration XTestInputDevice::keyboardSettleTime() const
{
    // Applications fetch the new mapping when told of the change; measured
    // to take a few milliseconds, given room here.
    return std::chrono::milliseconds(20);
}

void XTestInputDevice::refreshKeymap()
{
    // Every client hears of mapping changes: read the mapping again only then.
    if (!keymapStale_) return;
    keymapStale_ = false;
    keymap_->refresh();
}


bool XTestInputDevice::postMouseButton(MouseButton button, bool down, ScreenPoint at, int /*clickState*/)
{
    // X has no click count: applications count clicks that come close
    // together, as the ones posted here do.
    std::lock_guard lock(mutex_);
    if (!connected() || !std::isfinite(at.x) || !std::isfinite(at.y)) return false;
    const int x = static_cast<int>(std::lround(std::clamp(at.x, -32768.0, 32767.0)));
    const int y = static_cast<int>(std::lround(std::clamp(at.y, -32768.0, 32767.0)));
    if (!XTestFakeMotionEvent(display_, -1, x, y, CurrentTime)) return false;
    const bool ok = fakeButton(button == MouseButton::right ? buttonRight : buttonLeft, down);
    XFlush(display_);
    return ok;
}

bool XTestInputDevice::postScroll(int32_t linesDown, int32_t linesRight)
{
    std::lock_guard lock(mutex_);
    if (!connected()) return false;
    bool ok = true;
    const auto clicks = [&](unsigned button, int64_t n) {
        for (int64_t i = 0; i < n && ok; ++i) ok = fakeButton(button, true) && fakeButton(button, false);
    };
    clicks(linesDown >= 0 ? wheelDown : wheelUp, std::abs(static_cast<int64_t>(linesDown)));
    clicks(linesRight >= 0 ? wheelRight : wheelLeft, std::abs(static_cast<int64_t>(linesRight)));
    XFlush(display_);
    return ok;
}

std::optional<ScreenPoint> XTestInputDevice::pointerLocation()
{
    std::lock_guard lock(mutex_);
    if (!connected()) return std::nullopt;
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rx, &ry, &wx, &wy, &mask))
        return std::nullopt;
    return ScreenPoint{static_cast<double>(rx), static_cast<double>(ry)};
}


} // namespace twk
