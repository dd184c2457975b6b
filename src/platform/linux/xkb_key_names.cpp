#include "platform/linux/xkb_key_names.h"

#include <map>

namespace twk {

std::string xkbKeyName(const std::string& key)
{
    if (key.size() == 1 && key[0] >= 'A' && key[0] <= 'Z') return std::string(1, static_cast<char>(key[0] - 'A' + 'a'));
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9') return key;
    if (key.size() >= 2 && key[0] == 'F') return key;
    static const std::map<std::string, std::string> named{
        {"Space", "space"},   {"Return", "Return"},  {"Tab", "Tab"},      {"Escape", "Escape"},
        {"Backspace", "BackSpace"}, {"Delete", "Delete"}, {"Insert", "Insert"}, {"Home", "Home"},
        {"End", "End"},       {"PageUp", "Page_Up"}, {"PageDown", "Page_Down"}, {"Up", "Up"},
        {"Down", "Down"},     {"Left", "Left"},      {"Right", "Right"},  {"Print", "Print"},
        {"Pause", "Pause"},
    };
    const auto it = named.find(key);
    return it != named.end() ? it->second : std::string();
}

} // namespace twk
