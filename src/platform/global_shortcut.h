#pragma once

#include "app/key_combination.h"
#include "common/expected.h"

#include <functional>

namespace twk {

/// One key combination taken for the whole desktop, whichever window has
/// the focus.
class GlobalShortcut {
public:
    /// The error code of `bind` when another program holds the combination.
    static constexpr int takenCode = 1;

    virtual ~GlobalShortcut() = default;
    /// Takes `combination`, giving up any taken before; `onPressed` runs on
    /// the main thread once per press (key repeat does not count). An error
    /// ("twk.shortcut") when it cannot be taken.
    virtual VoidResult bind(const KeyCombination& combination, std::function<void()> onPressed) = 0;
};

} // namespace twk
