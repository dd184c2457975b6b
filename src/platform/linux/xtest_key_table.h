#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace twk {

/// The X keysym of a virtual key code (the US-layout codes key combinations
/// use): letters, digits and punctuation as their US characters, return,
/// keypad enter, tab, space, backspace, forward delete, escape, arrows,
/// home/end, page up/down, F1-F12. Nothing for other codes.
std::optional<unsigned long> keysymForVirtualKey(int virtualKey);

/// The X keysyms of the modifier keys held for `modifierFlags`, in press
/// order. Command acts as Control (the desktop's shortcut modifier), option
/// as Alt; the function flag has no key of its own and adds nothing.
std::vector<unsigned long> modifierKeysyms(uint64_t modifierFlags);

/// The keysym that types code point `c`: Latin-1 characters as themselves,
/// line breaks, tab and backspace as their keys, every other character as
/// its Unicode keysym. Nothing for other control characters.
std::optional<unsigned long> keysymForCodePoint(char32_t c);

} // namespace twk
