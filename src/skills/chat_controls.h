#pragma once

#include "common/task.h"

#include <string>

namespace twk {

/// What the chat procedure does to whatever application is in front: keys,
/// pastes and one look at the focused window. Each starts and ends on the
/// main loop. Failures of the keys and pastes are not reported: the
/// procedure carries on regardless.
class ChatControls {
public:
    virtual ~ChatControls() = default;

    /// Presses a key combination ("cmd+k", "enter").
    virtual Task<void> press(std::string combination) = 0;
    /// Pastes `text` as the user would.
    virtual Task<void> paste(std::string text) = 0;
    /// Whether the focused window of `pid` shows `text`, letter case ignored.
    virtual Task<bool> windowShows(int pid, std::string text) = 0;
};

} // namespace twk
