#pragma once

#include "common/expected.h"

#include <string>
#include <string_view>

namespace twk {

/// A key with held modifiers, as a global shortcut is written:
/// "Super+Alt+Space", "ctrl+shift+F5". Modifiers: Ctrl (Control), Alt, Shift,
/// Super (Win, Logo); keys: A–Z, 0–9, F1–F24, Space, Return (Enter), Tab,
/// Escape (Esc), Backspace, Delete (Del), Insert (Ins), Home, End, PageUp,
/// PageDown, Up, Down, Left, Right, Print, Pause. Words are case-insensitive.
struct ShortcutKeys {
    bool control = false;
    bool alt = false;
    bool shift = false;
    bool super = false;
    /// The key's name as listed above ("Space", "A", "F5").
    std::string key;

    /// The combination written out, modifiers first: "Super+Ctrl+Alt+Space".
    std::string text() const;
    friend bool operator==(const ShortcutKeys&, const ShortcutKeys&) = default;
};

/// The combination in `text`. A combination needs exactly one key and at
/// least one of Ctrl, Alt and Super: without them it would take the key
/// away from ordinary typing.
Expected<ShortcutKeys> parseShortcutKeys(std::string_view text);

} // namespace twk
