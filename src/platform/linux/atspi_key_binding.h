#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace twk {

/// A menu item's accelerator as the AX model gives it: the key and the
/// modifier bits (1 Shift, 2 Alt, 4 Super, 8 no Control; Control plays the
/// command key's role).
struct CommandKey {
    std::string key;
    int modifiers = 0;
};

/// Reads one AT-SPI action key binding: GTK's "mnemonic;path;accelerator"
/// ("n;<Alt>f:n;<Primary>n") or a bare accelerator ("<Control><Shift>s"),
/// or Qt's "Ctrl+Shift+S". Nothing when it names no accelerator.
std::optional<CommandKey> parseKeyBinding(std::string_view binding);

} // namespace twk
