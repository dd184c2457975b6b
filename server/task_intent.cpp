#include "task_intent.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace twk::server {
namespace {

using Kind = TaskStep::Kind;

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (std::isspace(static_cast<unsigned char>(s.front())) || s.front() == ',')) s.remove_prefix(1);
    while (!s.empty() && (std::isspace(static_cast<unsigned char>(s.back())) || std::string_view(".!?,;").find(s.back()) != std::string_view::npos))
        s.remove_suffix(1);
    return s;
}

bool startsWithWord(std::string_view text, std::string_view word)
{
    return text.starts_with(word) && (text.size() == word.size() || text[word.size()] == ' ');
}

/// Drops the first of `prefixes` that starts `text` (as whole words).
bool dropPrefix(std::string_view& text, std::string_view lowered, std::initializer_list<std::string_view> prefixes)
{
    for (const auto p : prefixes)
        if (startsWithWord(lowered, p)) {
            text = trim(text.substr(p.size()));
            return true;
        }
    return false;
}

/// Surrounding straight or curly quotes removed.
std::string unquoted(std::string_view s)
{
    s = trim(s);
    for (const auto& [open, close] : std::array<std::pair<std::string_view, std::string_view>, 3>{
             {{"\"", "\""}, {"'", "'"}, {"\u201c", "\u201d"}}})
        if (s.size() >= open.size() + close.size() && s.starts_with(open) && s.ends_with(close))
            return std::string(s.substr(open.size(), s.size() - open.size() - close.size()));
    return std::string(s);
}

/// The element's name: articles and a trailing kind of control dropped.
std::string targetName(std::string_view s)
{
    s = trim(s);
    std::string l = lower(s);
    dropPrefix(s, l, {"on the", "on", "the", "a", "an"});
    l = lower(s);
    for (const std::string_view suffix : {" menu item", " check box", " checkbox", " text field", " text box", " button",
                                          " switch", " toggle", " option", " setting", " field", " box", " link", " tab",
                                          " item", " entry", " input"})
        if (l.size() > suffix.size() && l.ends_with(suffix)) {
            s.remove_suffix(suffix.size());
            break;
        }
    return unquoted(s);
}

constexpr std::array<std::string_view, 30> keyNames{
    "enter", "return", "escape", "esc",  "tab", "space", "backspace", "delete", "up",  "down",
    "left",  "right",  "home",   "end",  "pageup", "pagedown", "page_up", "page_down", "f1", "f2",
    "f3",    "f4",     "f5",     "f6",   "f7",  "f8",    "f9",        "f10",    "f11", "f12"};
constexpr std::array<std::string_view, 10> modifierNames{"ctrl", "control", "cmd", "command", "super", "meta",
                                                         "alt",  "option",  "shift", "win"};

bool isKeyName(std::string_view k)
{
    return std::find(keyNames.begin(), keyNames.end(), k) != keyNames.end() || (k.size() == 1 && std::isalnum(static_cast<unsigned char>(k[0])));
}

/// "ctrl+shift+e", "Escape", "the enter key": the keys, or nothing.
std::optional<std::string> keyCombination(std::string_view text)
{
    std::string l = lower(trim(text));
    if (l.starts_with("the ")) l.erase(0, 4);
    if (l.ends_with(" key")) l.resize(l.size() - 4);
    if (l == "page down" || l == "page up") l.erase(4, 1);
    if (l.find('+') == std::string::npos) return isKeyName(l) && l.size() > 1 ? std::optional(l) : std::nullopt;
    std::string keys;
    size_t start = 0;
    bool sawKey = false;
    while (start <= l.size()) {
        const size_t plus = l.find('+', start);
        const std::string piece = l.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        const bool modifier = std::find(modifierNames.begin(), modifierNames.end(), piece) != modifierNames.end();
        if (!modifier && !isKeyName(piece)) return std::nullopt;
        sawKey = sawKey || !modifier;
        keys += (keys.empty() ? "" : "+") + piece;
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    return sawKey ? std::optional(keys) : std::nullopt;
}

/// "File > New", "Edit → Transform › Upper Case": the titles, when the text has separators.
std::optional<std::vector<std::string>> menuPath(std::string_view text)
{
    std::vector<std::string> path;
    std::string_view rest = trim(text);
    bool separated = false;
    while (true) {
        size_t at = std::string_view::npos, width = 0;
        for (const std::string_view sep : {">", "\u2192", "\u203a"})
            if (const size_t p = rest.find(sep); p < at) at = p, width = sep.size();
        std::string item = unquoted(rest.substr(0, at));
        if (item.empty()) return std::nullopt;
        path.push_back(std::move(item));
        if (at == std::string_view::npos) break;
        separated = true;
        rest = rest.substr(at + width);
    }
    if (!separated) return std::nullopt;
    std::string first = lower(path.front());
    if (first.starts_with("the ")) path.front().erase(0, 4);
    if (lower(path.front()).ends_with(" menu")) path.front().resize(path.front().size() - 5);
    return path;
}

bool looksLikeUrl(std::string_view s)
{
    if (s.find(' ') != std::string_view::npos || s.empty()) return false;
    const std::string l = lower(s);
    return l.starts_with("http://") || l.starts_with("https://") || (l.find('.') != std::string::npos && l.find('.') + 1 < l.size());
}

/// "text in|into target": split at the last " into ", else the last " in ".
std::optional<std::pair<std::string, std::string>> textAndTarget(std::string_view rest)
{
    const std::string l = lower(rest);
    for (const std::string_view sep : {" into ", " in "}) {
        // A quoted text may hold the separator: look after its closing quote.
        size_t from = 0;
        if (!rest.empty() && (rest[0] == '"' || rest[0] == '\'')) from = std::max<size_t>(1, rest.find(rest[0], 1));
        else if (rest.starts_with("\u201c")) from = rest.find("\u201d");
        if (from == std::string_view::npos) from = 0;
        const size_t at = l.rfind(sep);
        if (at == std::string::npos || at < from) continue;
        std::string text = unquoted(rest.substr(0, at));
        std::string target = targetName(rest.substr(at + sep.size()));
        if (!text.empty() && !target.empty()) return std::pair{std::move(text), std::move(target)};
    }
    return std::nullopt;
}

std::optional<TaskStep> toggleStep(std::string_view clause, const std::string& l)
{
    struct Form {
        std::string_view prefix;
        bool on;
    };
    static constexpr Form leading[] = {{"turn on", true},  {"switch on", true},   {"enable", true},    {"check", true},
                                       {"tick", true},     {"activate", true},    {"turn off", false}, {"switch off", false},
                                       {"disable", false}, {"uncheck", false},    {"untick", false},   {"deactivate", false}};
    for (const auto& form : leading)
        if (startsWithWord(l, form.prefix)) {
            std::string target = targetName(clause.substr(form.prefix.size()));
            if (target.empty()) return std::nullopt;
            return TaskStep{Kind::toggle, std::move(target), form.on, {}, {}};
        }
    // "turn Dark mode on", "set Dark mode to off"
    for (const std::string_view verb : {"turn", "switch", "set", "toggle"}) {
        if (!startsWithWord(l, verb)) continue;
        for (const auto& [ending, on] : std::array<std::pair<std::string_view, bool>, 4>{
                 {{" to on", true}, {" to off", false}, {" on", true}, {" off", false}}})
            if (l.ends_with(ending) && l.size() > verb.size() + ending.size()) {
                std::string target = targetName(clause.substr(verb.size(), clause.size() - verb.size() - ending.size()));
                if (!target.empty()) return TaskStep{Kind::toggle, std::move(target), on, {}, {}};
            }
    }
    return std::nullopt;
}

std::optional<TaskStep> fillStep(std::string_view clause, const std::string& l)
{
    for (const std::string_view verb : {"type", "enter", "write", "put", "input"}) {
        if (!startsWithWord(l, verb)) continue;
        const std::string_view rest = trim(clause.substr(verb.size()));
        if (auto split = textAndTarget(rest)) return TaskStep{Kind::fill, split->second, true, split->first, {}};
        if (verb == "type" || verb == "write") return TaskStep{Kind::typeText, {}, true, unquoted(rest), {}};
        return std::nullopt;
    }
    // "fill [in] Name with Ada", "set Name to Ada"
    for (const auto& [verb, sep] : std::array<std::pair<std::string_view, std::string_view>, 4>{
             {{"fill in", " with "}, {"fill out", " with "}, {"fill", " with "}, {"set", " to "}}}) {
        if (!startsWithWord(l, verb)) continue;
        const size_t at = l.find(sep, verb.size());
        if (at == std::string::npos) return std::nullopt;
        std::string target = targetName(clause.substr(verb.size(), at - verb.size()));
        std::string text = unquoted(clause.substr(at + sep.size()));
        if (target.empty() || text.empty()) return std::nullopt;
        return TaskStep{Kind::fill, std::move(target), true, std::move(text), {}};
    }
    return std::nullopt;
}

std::optional<TaskStep> clauseStep(std::string_view clause)
{
    clause = trim(clause);
    std::string l = lower(clause);
    dropPrefix(clause, l, {"please", "can you", "could you", "would you", "i want you to", "i want to", "go ahead and"});
    l = lower(clause);
    if (clause.empty()) return std::nullopt;

    if (startsWithWord(l, "scroll")) {
        std::string direction = trim(l.substr(6)).empty() ? "down" : std::string(trim(l.substr(6)));
        if (direction.starts_with("to the ")) direction.erase(0, 7);
        if (direction != "up" && direction != "down" && direction != "left" && direction != "right") return std::nullopt;
        return TaskStep{Kind::scroll, {}, true, direction, {}};
    }
    for (const std::string_view verb : {"go to", "navigate to", "visit", "open", "load"})
        if (startsWithWord(l, verb) && looksLikeUrl(trim(clause.substr(verb.size()))))
            return TaskStep{Kind::navigate, {}, true, std::string(trim(clause.substr(verb.size()))), {}};
    if (auto step = toggleStep(clause, l)) return step;
    if (auto step = fillStep(clause, l)) return step;

    for (const std::string_view verb : {"choose", "select", "pick", "open", "use", "click on", "click", "go to", "invoke"}) {
        if (!startsWithWord(l, verb)) continue;
        std::string_view rest = trim(clause.substr(verb.size()));
        std::string restLower = lower(rest);
        dropPrefix(rest, restLower, {"the menu item", "the menu", "menu item", "menu"});
        if (auto path = menuPath(rest)) return TaskStep{Kind::menu, {}, true, {}, std::move(*path)};
        // "New from the File menu", "New in the File menu"
        restLower = lower(rest);
        for (const std::string_view sep : {" from the ", " in the ", " from ", " in "}) {
            const size_t at = restLower.rfind(sep);
            if (at == std::string::npos || !restLower.ends_with(" menu")) continue;
            std::string item = unquoted(rest.substr(0, at));
            std::string menu = targetName(rest.substr(at + sep.size(), rest.size() - at - sep.size() - 5));
            if (!item.empty() && !menu.empty()) return TaskStep{Kind::menu, {}, true, {}, {menu, item}};
        }
    }
    for (const std::string_view verb : {"press", "hit", "push", "tap", "click on", "click", "select", "choose", "activate"}) {
        if (!startsWithWord(l, verb)) continue;
        const std::string_view rest = trim(clause.substr(verb.size()));
        if (verb == "press" || verb == "hit" || verb == "push" || verb == "tap")
            if (auto keys = keyCombination(rest); keys && (keys->find('+') != std::string::npos || lower(rest).ends_with(" key")))
                return TaskStep{Kind::key, {}, true, *keys, {}};
        std::string target = targetName(rest);
        if (target.empty()) return std::nullopt;
        // A lone key name ("press Escape") is a key unless the screen has such a button: decided with the snapshot.
        TaskStep step{Kind::press, std::move(target), true, {}, {}};
        if (verb != "select" && verb != "choose" && verb != "activate")
            if (auto keys = keyCombination(rest)) step.text = *keys;
        return step;
    }
    return std::nullopt;
}

bool startsWithVerb(std::string_view text)
{
    static constexpr std::string_view verbs[] = {
        "turn", "switch", "enable", "disable", "check", "uncheck", "tick", "untick", "activate", "deactivate", "set",
        "toggle", "type", "enter", "write", "put", "input", "fill", "choose", "select", "pick", "open", "use", "click",
        "go", "invoke", "press", "hit", "push", "tap", "scroll", "navigate", "visit", "load", "then"};
    const std::string l = lower(trim(text));
    return std::any_of(std::begin(verbs), std::end(verbs), [&l](std::string_view v) { return startsWithWord(l, v); });
}

/// The clauses of a task, cut at "and", "then", commas and semicolons that start a new action.
std::vector<std::string_view> clauses(std::string_view task)
{
    std::vector<std::string_view> parts;
    const std::string l = lower(task);
    size_t start = 0;
    for (size_t i = 0; i < l.size(); ++i) {
        for (const std::string_view sep : {", and then ", " and then ", ", then ", "; then ", " then ", ", and ", " and ", "; ", ", "}) {
            if (l.compare(i, sep.size(), sep) != 0 || !startsWithVerb(task.substr(i + sep.size()))) continue;
            parts.push_back(task.substr(start, i - start));
            start = i + sep.size();
            i = start - 1;
            break;
        }
    }
    parts.push_back(task.substr(start));
    for (auto& p : parts) {
        p = trim(p);
        if (lower(p).starts_with("then ")) p = trim(p.substr(5));
    }
    return parts;
}

} // namespace

std::string normalizedWords(std::string_view text)
{
    std::string out;
    bool space = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '&') continue; // mnemonic markers
        if (text.compare(i, 3, "\u2026") == 0) { // an ellipsis
            i += 2;
            continue;
        }
        if (std::isalnum(c) || c >= 0x80 || c == '+') {
            if (space && !out.empty()) out += ' ';
            space = false;
            out += char(std::tolower(c));
        } else {
            space = true;
        }
    }
    return out;
}

std::optional<std::vector<TaskStep>> parseTask(std::string_view task)
{
    task = trim(task);
    // "In the fixture, turn on Dark mode": the opening place names where, not what.
    if (const std::string l = lower(task); (l.starts_with("in ") || l.starts_with("on ")) && l.find(", ") != std::string::npos)
        if (startsWithVerb(task.substr(l.find(", ") + 2))) task = task.substr(l.find(", ") + 2);
    std::vector<TaskStep> steps;
    for (const auto clause : clauses(task)) {
        auto step = clauseStep(clause);
        if (!step) return std::nullopt;
        steps.push_back(std::move(*step));
    }
    if (steps.empty()) return std::nullopt;
    return steps;
}

} // namespace twk::server
