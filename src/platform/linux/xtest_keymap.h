#pragma once

#include <X11/Xlib.h>

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace twk {

/// Where a keysym is on the keyboard: its key and whether Shift is needed.
struct KeyPlace {
    KeyCode keycode = 0;
    bool shifted = false;
};

/// The X keyboard mapping as typing needs it: keysyms the layout already has
/// on their key's first or second (Shift) level, and keys that carry no
/// symbol at all, which can be lent to any keysym for a while. A lent key
/// carries the keysym on both levels, so that Shift or X's letter-case rule
/// cannot change it (Ü stays Ü). Not thread-safe.
class XKeymap {
public:
    explicit XKeymap(Display* display) : display_(display) {}
    ~XKeymap() { restore(); }
    XKeymap(const XKeymap&) = delete;
    XKeymap& operator=(const XKeymap&) = delete;

    /// Reads the server's mapping again (the user may switch layouts).
    void refresh();
    /// Where `keysym` can be typed now: the layout's place, else a key lent to it.
    std::optional<KeyPlace> find(KeySym keysym) const;

    /// Lends keys to as many of `wanted` (in order) as there are spare keys,
    /// reusing keys lent earlier to keysyms no longer wanted. Returns how
    /// many of `wanted`, from the front, can be typed; sets `changed` when
    /// the server's mapping changed.
    size_t lend(const std::vector<KeySym>& wanted, bool& changed);
    /// Gives every lent key back its empty mapping.
    void restore();

private:
    void writeKey(KeyCode keycode, KeySym keysym);

    Display* display_;
    std::map<KeySym, KeyPlace> layout_;
    /// Keys with no symbol when first seen, and so ours to lend.
    std::optional<std::vector<KeyCode>> spare_;
    std::map<KeySym, KeyCode> lent_;
};

} // namespace twk
