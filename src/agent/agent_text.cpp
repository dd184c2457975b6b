#include "agent/agent_text.h"

#include "accessibility/character_prefix.h"
#include "common/text_case.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace twk::agent {
namespace {

std::string trimmed(const std::string& text)
{
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

void replaceAll(std::string& text, std::string_view word, std::string_view symbol)
{
    for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + symbol.size()))
        text.replace(at, word.size(), symbol);
}

} // namespace

std::string friendlyRole(const std::string& role)
{
    const std::string_view rest = std::string_view(role).starts_with("AX") ? std::string_view(role).substr(2) : role;
    std::string out;
    for (const char c : rest) {
        const bool upper = c >= 'A' && c <= 'Z';
        if (upper && !out.empty()) out += ' ';
        out += upper ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

std::string describeMark(const MarkedElement& mark)
{
    const std::string label = trimmed(mark.label);
    const std::string role = friendlyRole(mark.role);
    if (!label.empty()) return "\u201C" + characterPrefix(label, 40) + "\u201D" + (role.empty() ? "" : " " + role);
    if (!role.empty()) return role;
    return "element #" + std::to_string(mark.id);
}

std::string verifyHint(int id, const std::optional<MarkedElement>& now)
{
    if (!now) return "(element no longer present \u2014 likely the UI changed; call read_screen to see the new state)";
    std::string parts;
    const auto add = [&parts](const std::string& part) { parts += (parts.empty() ? "" : " ") + part; };
    if (now->value && !now->value->empty()) add("value=\"" + characterPrefix(*now->value, 60) + "\"");
    if (now->selected) add(*now->selected ? "\u2713selected" : "not-selected");
    if (now->focused.value_or(false)) add("focused");
    const std::string element = "element [" + std::to_string(id) + "]";
    if (parts.empty()) return element + " state unchanged; call read_screen to see surrounding changes";
    return element + " now: " + parts;
}

std::string prettyKeys(const std::string& keys)
{
    // Longer words first, so "escape" is not read as "esc" + "ape".
    static const std::array<std::pair<std::string_view, std::string_view>, 16> symbols{{
        {"command", "\u2318"}, {"control", "\u2303"}, {"escape", "\u238B"}, {"option", "\u2325"},
        {"return", "\u23CE"},  {"delete", "\u232B"},  {"shift", "\u21E7"},  {"super", "\u2318"},
        {"enter", "\u23CE"},   {"space", "\u2423"},   {"meta", "\u2318"},   {"ctrl", "\u2303"},
        {"cmd", "\u2318"},     {"alt", "\u2325"},     {"esc", "\u238B"},    {"tab", "\u21E5"},
    }};
    std::string text = lowercased(keys);
    for (const auto& [word, symbol] : symbols) replaceAll(text, word, symbol);
    std::erase(text, '+');
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string normalizeKey(const std::string& keys)
{
    static const std::array<std::pair<std::string_view, std::string_view>, 8> synonyms{{
        {"super", "cmd"},
        {"meta", "cmd"},
        {"command", "cmd"},
        {"option", "alt"},
        {"control", "ctrl"},
        {"return", "enter"},
        {"page_down", "pagedown"},
        {"page_up", "pageup"},
    }};
    std::string out;
    size_t start = 0;
    while (start <= keys.size()) {
        const size_t end = std::min(keys.find('+', start), keys.size());
        std::string piece = lowercased(std::string_view(keys).substr(start, end - start));
        start = end + 1;
        if (piece.empty()) continue;
        for (const auto& [word, canonical] : synonyms)
            if (piece == word) piece = canonical;
        out += (out.empty() ? "" : "+") + piece;
    }
    return out;
}

} // namespace twk::agent
