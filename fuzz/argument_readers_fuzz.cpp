// Tool-call argument texts as the speech model might send them: whatever the
// text, parsing gives an object, every reader answers within its rules, the
// activity label is built, and the result JSON carries the text unchanged.

#include "tools/activity_labels.h"
#include "tools/argument_readers.h"
#include "tools/result_json.h"
#include "tools/tool_catalogue.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace twk;

void check(bool condition)
{
    if (!condition) std::abort();
}

bool isDigitString(const std::string& s)
{
    size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

void readEveryWay(const ToolArgs& args, const std::string& key)
{
    const auto it = args.find(key);
    const nlohmann::json* value = it == args.end() ? nullptr : &*it;

    const std::string s = strArg(args, key);
    check(value != nullptr && value->is_string() ? s == value->get<std::string>() : s.empty());
    check(optStrArg(args, key).has_value() == !s.empty());

    if (const auto i = intArg(args, key); i && value->is_string()) check(isDigitString(s));
    if (value != nullptr && value->is_number_integer() && !value->is_number_unsigned())
        check(intArg(args, key) == value->get<int64_t>());

    if (const auto d = doubleArg(args, key); d && value->is_string()) {
        check(!s.empty() && s.front() != ' ');
    }
    if (value != nullptr && value->is_number()) check(doubleArg(args, key).has_value());

    const auto b = boolArg(args, key);
    if (value == nullptr || value->is_null() || value->is_array() || value->is_object()) check(!b.has_value());
    else check(b.has_value());

    const auto list = stringListArg(args, key);
    if (!list.empty()) check(value->is_array() && value->size() == list.size());

    const auto echoed = nlohmann::json::parse(okJSON(s));
    check(echoed["ok"] == true && echoed["message"] == s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ToolArgs args = parseToolArgs(text);
    check(args.is_object());

    for (const auto& [key, value] : args.items()) readEveryWay(args, key);
    readEveryWay(args, "absent key");

    for (const auto& tool : toolCatalogue()) {
        const std::string label = activityLabel(tool["name"], args);
        // Labels go into the UI and logs; they must stay valid text.
        check(nlohmann::json::parse(errJSON(label))["error"] == label);
    }
    for (const char* name : {"click_mark", "list_menus", "invoke_menu", "inspect_screen", "fill_mark", "no_such_tool"})
        (void)activityLabel(name, args);
    return 0;
}
