#include "agent_snapshot.h"

#include <array>
#include <cctype>

namespace twk::server {
namespace {

constexpr std::string_view screenMarker = "--- CURRENT SCREEN ---";
constexpr std::string_view selectedFlag = " \u2713selected";
constexpr std::array<std::string_view, 4> flagStarts{selectedFlag, " disabled", " focused", " actions=["};

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool endsAField(std::string_view rest, bool valueMayFollow)
{
    if (rest.empty()) return true;
    if (valueMayFollow && rest.starts_with(" value=\"")) return true;
    for (const auto flag : flagStarts)
        if (rest.starts_with(flag)) return true;
    return false;
}

/// A quoted field starting at `text[0] == '"'`: its contents and what follows.
/// The closing quote is the first one followed by the end or by a known field,
/// so quotes inside labels and values survive.
std::optional<std::pair<std::string, std::string_view>> quoted(std::string_view text, bool valueMayFollow)
{
    for (size_t close = text.find('"', 1); close != std::string_view::npos; close = text.find('"', close + 1)) {
        const std::string_view rest = text.substr(close + 1);
        if (endsAField(rest, valueMayFollow)) return std::pair{std::string(text.substr(1, close - 1)), rest};
    }
    return std::nullopt;
}

} // namespace

const SnapshotMark* ScreenSnapshot::mark(int id) const
{
    for (const auto& m : marks)
        if (m.id == id) return &m;
    return nullptr;
}

std::optional<SnapshotMark> parseMarkLine(std::string_view line)
{
    line = trimmed(line);
    if (!line.starts_with('[')) return std::nullopt;
    const size_t close = line.find("] ");
    if (close == std::string_view::npos || close < 2 || close > 10) return std::nullopt;
    SnapshotMark mark;
    for (const char c : line.substr(1, close - 1)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        mark.id = mark.id * 10 + (c - '0');
    }
    std::string_view rest = line.substr(close + 2);
    const size_t roleEnd = rest.find(' ');
    mark.role = std::string(rest.substr(0, roleEnd));
    if (mark.role.empty()) return std::nullopt;
    rest = roleEnd == std::string_view::npos ? std::string_view() : rest.substr(roleEnd);
    if (rest.starts_with(" \"")) {
        auto label = quoted(rest.substr(1), true);
        if (!label) return std::nullopt;
        mark.label = std::move(label->first);
        rest = label->second;
    }
    if (rest.starts_with(" value=\"")) {
        auto value = quoted(rest.substr(7), false);
        if (!value) return std::nullopt;
        mark.value = std::move(value->first);
        rest = value->second;
    }
    mark.selected = rest.find(selectedFlag) != std::string_view::npos;
    mark.disabled = rest.find(" disabled") != std::string_view::npos;
    mark.focused = rest.find(" focused") != std::string_view::npos;
    return mark;
}

ScreenSnapshot parseSnapshot(std::string_view text)
{
    ScreenSnapshot snapshot;
    bool inMenus = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with("MENU BAR")) {
            inMenus = true;
            continue;
        }
        if (!line.starts_with("  ")) {
            if (!trimmed(line).empty()) inMenus = false;
            continue;
        }
        if (!inMenus) {
            if (auto mark = parseMarkLine(line)) snapshot.marks.push_back(std::move(*mark));
            continue;
        }
        const std::string_view entry = trimmed(line);
        const size_t colon = entry.find(": ");
        SnapshotMenu menu{std::string(entry.substr(0, colon)), {}};
        if (colon != std::string_view::npos) {
            std::string_view items = entry.substr(colon + 2);
            while (!items.empty()) {
                const size_t comma = items.find(", ");
                menu.items.emplace_back(trimmed(items.substr(0, comma)));
                items.remove_prefix(comma == std::string_view::npos ? items.size() : comma + 2);
            }
        }
        snapshot.menus.push_back(std::move(menu));
    }
    return snapshot;
}

std::optional<std::string_view> screenSection(std::string_view text)
{
    const size_t at = text.rfind(screenMarker);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view rest = text.substr(at + screenMarker.size());
    if (rest.starts_with('\n')) rest.remove_prefix(1);
    return rest;
}

std::string_view taskSection(std::string_view text)
{
    return trimmed(text.substr(0, text.find(screenMarker)));
}

} // namespace twk::server
