#pragma once

// Short texts the agent shows the user and reads back to the model about
// elements and keys.

#include "accessibility/marked_element.h"

#include <optional>
#include <string>

namespace twk::agent {

/// "AXPopUpButton" → "pop up button": the role without "AX", split before
/// each capital, lower case.
std::string friendlyRole(const std::string& role);

/// “Label” role, or the role alone without a label, or "element #id".
std::string describeMark(const MarkedElement& mark);

/// What a re-read element looks like now, for the model to judge whether an
/// action took effect; `now` is nothing when the element is gone.
std::string verifyHint(int id, const std::optional<MarkedElement>& now);

/// The combination in key symbols, for display: "cmd+shift+t" → "⌘⇧T".
std::string prettyKeys(const std::string& keys);

/// The combination in the words key presses understand: "Command+Return"
/// → "cmd+enter".
std::string normalizeKey(const std::string& keys);

} // namespace twk::agent
