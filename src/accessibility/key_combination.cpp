#include "accessibility/key_combination.h"

#include "common/text_case.h"
#include "platform/input.h"

#include <map>

namespace twk {
namespace {

// The US-layout virtual key codes: the same code means the same physical
// key whatever the user's layout.
const std::map<std::string, int>& namedKeys()
{
    static const std::map<std::string, int> keys{
        {"return", 36}, {"enter", 76},    {"tab", 48},       {"space", 49}, {"delete", 51}, {"backspace", 51},
        {"escape", 53}, {"esc", 53},      {"left", 123},     {"right", 124}, {"down", 125}, {"up", 126},
        {"home", 115},  {"end", 119},     {"pageup", 116},   {"pagedown", 121}, {"f1", 122}, {"f2", 120},
        {"f3", 99},     {"f4", 118},      {"f5", 96},        {"f6", 97},    {"f7", 98},     {"f8", 100},
        {"f9", 101},    {"f10", 109},     {"f11", 103},      {"f12", 111}};
    return keys;
}

const std::map<char, int>& letterKeys()
{
    static const std::map<char, int> keys{
        {'a', 0},   {'b', 11},  {'c', 8},   {'d', 2},   {'e', 14},  {'f', 3},   {'g', 5},   {'h', 4},
        {'i', 34},  {'j', 38},  {'k', 40},  {'l', 37},  {'m', 46},  {'n', 45},  {'o', 31},  {'p', 35},
        {'q', 12},  {'r', 15},  {'s', 1},   {'t', 17},  {'u', 32},  {'v', 9},   {'w', 13},  {'x', 7},
        {'y', 16},  {'z', 6},   {'0', 29},  {'1', 18},  {'2', 19},  {'3', 20},  {'4', 21},  {'5', 23},
        {'6', 22},  {'7', 26},  {'8', 28},  {'9', 25},  {',', 43},  {'.', 47},  {'/', 44},  {';', 41},
        {'\'', 39}, {'[', 33},  {']', 30},  {'\\', 42}, {'-', 27},  {'=', 24},  {'`', 50}};
    return keys;
}

Error inputError(int code, const std::string& description) { return Error("twk.input", code, description); }

} // namespace

std::optional<int> keyCodeNamed(const std::string& piece)
{
    if (const auto it = namedKeys().find(piece); it != namedKeys().end()) return it->second;
    if (piece.size() == 1)
        if (const auto it = letterKeys().find(piece[0]); it != letterKeys().end()) return it->second;
    return std::nullopt;
}

std::optional<uint64_t> modifierNamed(const std::string& piece)
{
    static const std::map<std::string, uint64_t> words{
        {"cmd", modifier::command},    {"command", modifier::command}, {"meta", modifier::command},
        {"⌘", modifier::command},      {"shift", modifier::shift},     {"⇧", modifier::shift},
        {"alt", modifier::option},     {"option", modifier::option},   {"opt", modifier::option},
        {"⌥", modifier::option},       {"ctrl", modifier::control},    {"control", modifier::control},
        {"⌃", modifier::control},      {"fn", modifier::function}};
    if (const auto it = words.find(piece); it != words.end()) return it->second;
    return std::nullopt;
}

Expected<KeyCombination> parseKeyCombination(const std::string& combination)
{
    const std::string lower = lowercased(combination);
    KeyCombination result;
    std::optional<std::string> key;
    size_t start = 0;
    while (start <= lower.size()) {
        const size_t plus = lower.find('+', start);
        const size_t end = plus == std::string::npos ? lower.size() : plus;
        const std::string piece = lower.substr(start, end - start);
        if (!piece.empty()) {
            if (const auto flag = modifierNamed(piece))
                result.modifierFlags |= *flag;
            else
                key = piece; // a later key replaces an earlier one
        }
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    if (!key) return inputError(1, "no key in " + combination);
    const auto code = keyCodeNamed(*key);
    if (!code) return inputError(2, "unknown key '" + *key + "'");
    result.keyCode = *code;
    return result;
}

} // namespace twk
