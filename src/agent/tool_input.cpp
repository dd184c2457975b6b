#include "agent/tool_input.h"

#include <cmath>
#include <limits>

namespace twk::agent {

std::optional<double> num(const ToolArgs& input, std::string_view key) { return doubleArg(input, key); }

int integerInput(const ToolArgs& input, std::string_view key)
{
    constexpr auto low = std::numeric_limits<int>::min();
    constexpr auto high = std::numeric_limits<int>::max();
    if (const auto whole = intArg(input, key)) return *whole >= low && *whole <= high ? static_cast<int>(*whole) : 0;
    const auto number = num(input, key);
    if (!number || !std::isfinite(*number)) return 0;
    const double truncated = std::trunc(*number);
    return truncated >= low && truncated <= high ? static_cast<int>(truncated) : 0;
}

std::optional<std::string> printed(const ToolArgs& input, std::string_view key)
{
    if (!input.is_object()) return std::nullopt;
    const auto it = input.find(std::string(key));
    if (it == input.end()) return std::nullopt;
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number_float()) {
        const double value = it->get<double>();
        if (std::isfinite(value) && value == std::trunc(value) && std::abs(value) < 1e18)
            return std::to_string(static_cast<long long>(value));
    }
    return it->dump();
}

std::vector<std::string> stringList(const ToolArgs& input, std::string_view key)
{
    std::vector<std::string> items;
    if (!input.is_object()) return items;
    const auto it = input.find(std::string(key));
    if (it == input.end() || !it->is_array()) return items;
    for (const auto& item : *it)
        if (item.is_string()) items.push_back(item.get<std::string>());
    return items;
}

} // namespace twk::agent
