#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twk::server {

/// One simple step a spoken task asks for.
struct TaskStep {
    enum class Kind { press, toggle, fill, menu, key, typeText, scroll, navigate };
    Kind kind = Kind::press;
    std::string target;             // press, toggle, fill: the element's name as the task says it
    bool on = true;                 // toggle: the state wanted
    std::string text;               // fill, typeText: what to enter; key: the keys; scroll: direction; navigate: URL
    std::vector<std::string> path;  // menu: titles from the menu bar down
};

/// The steps of a task made of simple clauses ("turn on Dark mode", "type
/// hello in the search box and press Search", "choose File > New", "press
/// ctrl+s"), or nothing when one clause is not understood.
std::optional<std::vector<TaskStep>> parseTask(std::string_view task);

/// Lower-case, without punctuation and repeated blanks: how labels and task words are compared.
std::string normalizedWords(std::string_view text);

} // namespace twk::server
