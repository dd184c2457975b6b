#include "app/shortcut_keys.h"

#include <array>
#include <utility>

namespace twk {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 23> namedKeys{{
    {"space", "Space"},   {"return", "Return"},   {"enter", "Return"},         {"tab", "Tab"},
    {"escape", "Escape"}, {"esc", "Escape"},      {"backspace", "Backspace"},  {"delete", "Delete"},
    {"del", "Delete"},    {"insert", "Insert"},   {"ins", "Insert"},           {"home", "Home"},
    {"end", "End"},       {"pageup", "PageUp"},   {"pgup", "PageUp"},          {"pagedown", "PageDown"},
    {"pgdown", "PageDown"}, {"up", "Up"},         {"down", "Down"},            {"left", "Left"},
    {"right", "Right"},   {"print", "Print"},     {"pause", "Pause"},
}};

std::string lowerAscii(std::string_view word)
{
    std::string lower(word);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

/// The key's name, or empty when `word` names no key.
std::string keyName(std::string_view word)
{
    const std::string lower = lowerAscii(word);
    if (lower.size() == 1 && ((lower[0] >= 'a' && lower[0] <= 'z') || (lower[0] >= '0' && lower[0] <= '9')))
        return std::string(1, static_cast<char>(lower[0] >= 'a' ? lower[0] - 'a' + 'A' : lower[0]));
    if (lower.size() >= 2 && lower.size() <= 3 && lower[0] == 'f' && lower[1] >= '1' && lower[1] <= '9') {
        const int number = std::stoi(lower.substr(1));
        const bool digits = lower.size() == 2 || (lower[2] >= '0' && lower[2] <= '9');
        if (digits && number <= 24) return "F" + std::to_string(number);
        return {};
    }
    for (const auto& [alias, name] : namedKeys)
        if (lower == alias) return std::string(name);
    return {};
}

Error comboError(int code, const std::string& what)
{
    return Error("twk.shortcut", code, what);
}

} // namespace

std::string ShortcutKeys::text() const
{
    std::string out;
    if (super) out += "Super+";
    if (control) out += "Ctrl+";
    if (alt) out += "Alt+";
    if (shift) out += "Shift+";
    return out + key;
}

Expected<ShortcutKeys> parseShortcutKeys(std::string_view text)
{
    const std::string quoted = "'" + std::string(text) + "'";
    ShortcutKeys combo;
    size_t start = 0;
    for (;;) {
        const size_t plus = text.find('+', start);
        std::string_view word = text.substr(start, plus == std::string_view::npos ? text.npos : plus - start);
        while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
        while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
        if (word.empty()) return comboError(1, "the shortcut " + quoted + " has an empty part");
        const std::string lower = lowerAscii(word);
        if (lower == "ctrl" || lower == "control") {
            combo.control = true;
        } else if (lower == "alt") {
            combo.alt = true;
        } else if (lower == "shift") {
            combo.shift = true;
        } else if (lower == "super" || lower == "win" || lower == "logo") {
            combo.super = true;
        } else if (const std::string key = keyName(word); !key.empty()) {
            if (!combo.key.empty())
                return comboError(2, "the shortcut " + quoted + " names two keys: " + combo.key + " and " + key);
            combo.key = key;
        } else {
            return comboError(3, "the shortcut " + quoted + " has an unknown key '" + std::string(word) + "'");
        }
        if (plus == std::string_view::npos) break;
        start = plus + 1;
    }
    if (combo.key.empty()) return comboError(4, "the shortcut " + quoted + " names no key, only modifiers");
    if (!combo.control && !combo.alt && !combo.super)
        return comboError(5, "the shortcut " + quoted + " needs Ctrl, Alt or Super, or it would take " + combo.key +
                                 " away from typing");
    return combo;
}

} // namespace twk
