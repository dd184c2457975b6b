#pragma once

#include "common/expected.h"

#include <cstdint>
#include <optional>
#include <string>

namespace twk {

/// One key with the modifiers held for it, as key combinations name it
/// ("cmd+shift+t", "⌘+k", "pagedown").
struct KeyCombination {
    int keyCode = 0;
    uint64_t modifierFlags = 0;

    friend bool operator==(const KeyCombination&, const KeyCombination&) = default;
};

/// Reads a combination: pieces split at "+", letter case ignored, modifier
/// words add their flag, the last other piece is the key. Fails with
/// "twk.input" code 1 when no key is named, code 2 for a key it does not know.
Expected<KeyCombination> parseKeyCombination(const std::string& combination);

/// The virtual key code of a key name ("return", "f5") or single character
/// ("a", "7", "["), already lower-cased.
std::optional<int> keyCodeNamed(const std::string& piece);

/// The flag of a modifier word ("cmd", "shift", "⌥", ...), already lower-cased.
std::optional<uint64_t> modifierNamed(const std::string& piece);

} // namespace twk
