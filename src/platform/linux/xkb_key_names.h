#pragma once

#include <string>

namespace twk {

/// The keysym name ("space", "a", "F5", "Page_Up") of a key name of
/// ShortcutKeys; empty for none.
std::string xkbKeyName(const std::string& key);

} // namespace twk
