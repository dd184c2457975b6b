#include "platform/linux/xtest_keymap.h"

#include <algorithm>

namespace twk {

void XKeymap::refresh()
{
    int minCode = 0, maxCode = 0, perCode = 0;
    XDisplayKeycodes(display_, &minCode, &maxCode);
    KeySym* syms = XGetKeyboardMapping(display_, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
    if (syms == nullptr) return;
    layout_.clear();
    const bool firstLook = !spare_;
    if (firstLook) spare_.emplace();
    for (int code = minCode; code <= maxCode; ++code) {
        const KeySym* row = syms + static_cast<ptrdiff_t>(code - minCode) * perCode;
        const auto keycode = static_cast<KeyCode>(code);
        if (firstLook && std::all_of(row, row + perCode, [](KeySym s) { return s == NoSymbol; })) {
            spare_->push_back(keycode);
            continue;
        }
        if (std::find(spare_->begin(), spare_->end(), keycode) != spare_->end()) continue; // lent by us
        // The first key wins, as for XKeysymToKeycode; an unshifted place beats a shifted one.
        for (int level = 0; level < std::min(perCode, 2); ++level) {
            const KeySym s = row[level];
            if (s == NoSymbol) continue;
            const auto it = layout_.find(s);
            if (it == layout_.end() || (it->second.shifted && level == 0)) layout_[s] = KeyPlace{keycode, level == 1};
        }
    }
    XFree(syms);
}

std::optional<KeyPlace> XKeymap::find(KeySym keysym) const
{
    if (const auto it = layout_.find(keysym); it != layout_.end()) return it->second;
    if (const auto it = lent_.find(keysym); it != lent_.end()) return KeyPlace{it->second, false};
    return std::nullopt;
}

size_t XKeymap::lend(const std::vector<KeySym>& wanted, bool& changed)
{
    changed = false;
    if (!spare_) refresh();
    std::set<KeySym> keep;
    size_t usable = 0;
    for (const KeySym s : wanted) {
        if (layout_.contains(s) || lent_.contains(s)) {
            keep.insert(s);
            ++usable;
            continue;
        }
        std::optional<KeyCode> key;
        for (const KeyCode spare : *spare_) {
            const bool taken = std::any_of(lent_.begin(), lent_.end(), [&](const auto& e) { return e.second == spare; });
            if (!taken) {
                key = spare;
                break;
            }
        }
        if (!key) {
            // Take back a key lent to a keysym not wanted in this run.
            const auto idle = std::find_if(lent_.begin(), lent_.end(), [&](const auto& e) { return !keep.contains(e.first); });
            if (idle == lent_.end()) break;
            key = idle->second;
            lent_.erase(idle);
        }
        writeKey(*key, s);
        lent_[s] = *key;
        keep.insert(s);
        changed = true;
        ++usable;
    }
    if (changed) XSync(display_, False);
    return usable;
}

void XKeymap::restore()
{
    if (lent_.empty()) return;
    for (const auto& [keysym, keycode] : lent_) writeKey(keycode, NoSymbol);
    lent_.clear();
    XSync(display_, False);
}

void XKeymap::writeKey(KeyCode keycode, KeySym keysym)
{
    KeySym both[2] = {keysym, keysym};
    XChangeKeyboardMapping(display_, keycode, 2, both, 1);
}

} // namespace twk
