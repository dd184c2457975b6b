#include "tools/argument_readers.h"

#include "common/text_case.h"

#include <algorithm>
#include <charconv>

namespace twk {
namespace {

using nlohmann::json;

const json* find(const ToolArgs& args, std::string_view key)
{
    if (!args.is_object()) return nullptr;
    const auto it = args.find(std::string(key));
    return it == args.end() ? nullptr : &*it;
}

std::optional<int64_t> parseInteger(std::string_view text)
{
    // from_chars takes a leading minus but no plus, and a sign must be
    // followed by digits only.
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> parseDouble(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) return std::nullopt;
    }
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int64_t> truncated(double d)
{
    // The comparison also turns away NaN.
    if (!(d >= -0x1p63 && d < 0x1p63)) return std::nullopt;
    return static_cast<int64_t>(d);
}

} // namespace

ToolArgs parseToolArgs(std::string_view argsJson)
{
    json parsed = json::parse(argsJson.begin(), argsJson.end(), nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) return json::object();
    return parsed;
}

std::string strArg(const ToolArgs& args, std::string_view key)
{
    const json* v = find(args, key);
    return v != nullptr && v->is_string() ? v->get<std::string>() : std::string();
}

std::optional<std::string> optStrArg(const ToolArgs& args, std::string_view key)
{
    std::string s = strArg(args, key);
    if (s.empty()) return std::nullopt;
    return s;
}

std::optional<int64_t> intArg(const ToolArgs& args, std::string_view key)
{
    const json* v = find(args, key);
    if (v == nullptr) return std::nullopt;
    switch (v->type()) {
    case json::value_t::number_integer:
        return v->get<int64_t>();
    case json::value_t::number_unsigned: {
        const auto u = v->get<uint64_t>();
        if (u > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<int64_t>(u);
    }
    case json::value_t::number_float:
        return truncated(v->get<double>());
    case json::value_t::string:
        return parseInteger(v->get_ref<const std::string&>());
    default:
        return std::nullopt;
    }
}

std::optional<double> doubleArg(const ToolArgs& args, std::string_view key)
{
    const json* v = find(args, key);
    if (v == nullptr) return std::nullopt;
    if (v->is_number()) return v->get<double>();
    if (v->is_string()) return parseDouble(v->get_ref<const std::string&>());
    return std::nullopt;
}

std::optional<bool> boolArg(const ToolArgs& args, std::string_view key)
{
    const json* v = find(args, key);
    if (v == nullptr) return std::nullopt;
    if (v->is_boolean()) return v->get<bool>();
    if (v->is_number()) return v->get<double>() != 0;
    if (v->is_string()) {
        const std::string s = lowercased(v->get<std::string>());
        return s == "true" || s == "1" || s == "yes" || s == "on";
    }
    return std::nullopt;
}

std::vector<std::string> stringListArg(const ToolArgs& args, std::string_view key)
{
    const json* v = find(args, key);
    if (v == nullptr || !v->is_array()) return {};
    std::vector<std::string> items;
    items.reserve(v->size());
    for (const auto& item : *v) {
        if (!item.is_string()) return {};
        items.push_back(item.get<std::string>());
    }
    return items;
}

} // namespace twk
