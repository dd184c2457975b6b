#include "platform/linux/atspi_key_binding.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace twk {
namespace {

std::string lower(std::string_view text)
{
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

/// Adds the bit of a modifier name; false when it is no modifier.
bool addModifier(std::string_view name, bool& control, int& bits)
{
    const std::string m = lower(name);
    if (m == "primary" || m == "control" || m == "ctrl" || m == "ctl") control = true;
    else if (m == "shift") bits |= 1;
    else if (m == "alt" || m == "mod1" || m == "meta" || m == "option") bits |= 2;
    else if (m == "super" || m == "hyper" || m == "mod4") bits |= 4;
    else return false;
    return true;
}

std::optional<CommandKey> finish(std::string key, bool control, int bits)
{
    if (key.empty()) return std::nullopt;
    if (!control) bits |= 8;
    return CommandKey{std::move(key), bits};
}

std::optional<CommandKey> parseAngleForm(std::string_view text)
{
    bool control = false;
    int bits = 0;
    while (!text.empty() && text.front() == '<') {
        const auto close = text.find('>');
        if (close == std::string_view::npos) return std::nullopt;
        addModifier(text.substr(1, close - 1), control, bits);
        text.remove_prefix(close + 1);
    }
    return finish(std::string(text), control, bits);
}

std::optional<CommandKey> parsePlusForm(std::string_view text)
{
    bool control = false;
    int bits = 0;
    while (true) {
        const auto plus = text.find('+');
        // "Ctrl++": the last '+' is the key itself.
        if (plus == std::string_view::npos || plus + 1 == text.size()) break;
        if (!addModifier(text.substr(0, plus), control, bits)) break;
        text.remove_prefix(plus + 1);
    }
    return finish(std::string(text), control, bits);
}

} // namespace

std::optional<CommandKey> parseKeyBinding(std::string_view binding)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const auto semicolon = binding.find(';', start);
        parts.push_back(binding.substr(start, semicolon - start));
        if (semicolon == std::string_view::npos) break;
        start = semicolon + 1;
    }
    // GTK lists mnemonic; path; accelerator: only the last is a command key.
    std::string_view accelerator = parts.size() >= 3 ? parts[2] : parts.size() == 1 ? parts[0] : std::string_view();
    while (!accelerator.empty() && accelerator.front() == ' ') accelerator.remove_prefix(1);
    while (!accelerator.empty() && accelerator.back() == ' ') accelerator.remove_suffix(1);
    if (accelerator.empty()) return std::nullopt;
    if (accelerator.front() == '<') return parseAngleForm(accelerator);
    const auto parsed = parsePlusForm(accelerator);
    // A lone letter, or Alt with one, is a mnemonic, not a command key.
    if (parsed && (parsed->modifiers == 8 || parsed->modifiers == (8 | 2)) && parsed->key.size() == 1)
        return std::nullopt;
    return parsed;
}

} // namespace twk
