#pragma once

#include "common/main_loop.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// Modifier flags a key event carries (the values key combinations use).
namespace modifier {
inline constexpr uint64_t command = 0x100000;
inline constexpr uint64_t shift = 0x20000;
inline constexpr uint64_t option = 0x80000;
inline constexpr uint64_t control = 0x40000;
inline constexpr uint64_t function = 0x800000;
} // namespace modifier

/// A point in global screen coordinates: origin at the top left of the main
/// display, y downwards.
struct ScreenPoint {
    double x = 0;
    double y = 0;
};

enum class MouseButton { left, right };

/// What a device did to be able to type a run of characters.
struct CharacterBatch {
    /// How many of the upcoming characters can be typed now (a prefix).
    size_t count = 0;
    /// Whether the keyboard changed for them: the target needs
    /// `keyboardSettleTime()` to notice before the first one is typed, and
    /// again after the last before the next change.
    bool keyboardChanged = false;
};

/// Synthesised keyboard and mouse input for the user's whole desktop, as if
/// from real devices. Each call returns promptly; false means the event
/// could not be made or posted.
class InputDevice {
public:
    virtual ~InputDevice() = default;

    /// False when no event can be made at all (no display to post to).
    virtual bool usable() = 0;

    /// A key down or up, identified by its virtual key code (the US-layout
    /// codes of key combinations), with the modifiers in `modifierFlags`
    /// held for it. Keys and modifiers pressed stay down until their up
    /// event or `releaseHeldKeys`; a device may hold a down event back
    /// until its up event comes.
    virtual bool postKey(int virtualKey, bool down, uint64_t modifierFlags) = 0;
    /// Releases every key and modifier this device still holds down.
    virtual void releaseHeldKeys() = 0;

    /// Makes the next characters of a text typeable, whatever the keyboard
    /// layout. `upcoming` holds user-perceived characters in UTF-8.
    virtual CharacterBatch prepareCharacters(const std::vector<std::string>& upcoming) = 0;
    /// Types one prepared character (key down then up), without modifiers.
    virtual bool postCharacter(const std::string& character) = 0;
    /// Undoes what preparing changed; the text is typed.
    virtual void finishCharacters() = 0;
    /// How long applications take to notice a keyboard change.
    virtual Duration keyboardSettleTime() const = 0;
    /// Asks the application with the keyboard focus to answer once it has
    /// read every event posted so far. A ticket for `targetConfirmed`, or
    /// nothing when that application cannot be asked.
    virtual std::optional<uint64_t> askTargetToConfirm() = 0;
    /// Whether the answer for `ticket` has come.
    virtual bool targetConfirmed(uint64_t ticket) = 0;

    /// A button down or up at `at`. `clickState` counts the clicks of a
    /// multiple click (2 for both presses of a double click).
    virtual bool postMouseButton(MouseButton button, bool down, ScreenPoint at, int clickState) = 0;
    /// Scrolls the window under the pointer by whole lines: positive
    /// `linesDown` towards later content, positive `linesRight` to the right.
    virtual bool postScroll(int32_t linesDown, int32_t linesRight) = 0;
    virtual std::optional<ScreenPoint> pointerLocation() = 0;

    /// Whether the window with the keyboard focus belongs to this process.
    virtual bool focusIsOwnWindow() = 0;
    /// Whether the window shown at `at` belongs to this process (a click
    /// there would land on our own panel). False when it cannot be told.
    virtual bool isOwnWindowAt(ScreenPoint /*at*/) { return false; }
};

} // namespace twk
