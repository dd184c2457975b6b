#include "tools/result_json.h"

namespace twk {

std::string compactJSON(const nlohmann::ordered_json& value, std::string_view fallback)
{
    try {
        return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    } catch (const std::exception&) {
        return std::string(fallback);
    }
}

std::string okJSON(const std::string& message)
{
    return compactJSON({{"ok", true}, {"message", message}}, R"({"ok":true})");
}

std::string errJSON(const std::string& error)
{
    return compactJSON({{"ok", false}, {"error", error}}, R"({"ok":false})");
}

} // namespace twk
