#pragma once

#include "app/shortcut_keys.h"
#include "common/expected.h"

#include <functional>

namespace twk {

/// One key combination taken for the whole desktop, whichever window has
/// the focus.
class GlobalShortcut {
public:
    /// Error codes ("twk.shortcut") that `bind` reports:
    /// another program holds the combination;
    static constexpr int takenCode = 1;
    /// this way of taking shortcuts does not work here (another may);
    static constexpr int unavailableCode = 2;
    /// the user or the desktop said no.
    static constexpr int refusedCode = 3;

    virtual ~GlobalShortcut() = default;
    /// Takes `combination`, giving up any taken before. `onBound` runs once
    /// on the main thread with the outcome (at once or later); then
    /// `onPressed` runs on the main thread once per press (key repeat does
    /// not count).
    virtual void bind(const ShortcutKeys& combination, std::function<void()> onPressed,
                      std::function<void(VoidResult)> onBound) = 0;
};

} // namespace twk
