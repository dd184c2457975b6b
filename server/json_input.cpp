#include "json_input.h"

namespace twk::server {

bool nestsDeeperThan(std::string_view text, int maxDepth)
{
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth) return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

JsonInput parseJsonInput(std::string_view text, int maxDepth)
{
    JsonInput in;
    if (nestsDeeperThan(text, maxDepth)) {
        in.value = nlohmann::json::value_t::discarded;
        in.error = "nested deeper than " + std::to_string(maxDepth) + " levels";
        return in;
    }
    in.value = nlohmann::json::parse(text, nullptr, false);
    if (in.value.is_discarded()) in.error = "not valid JSON";
    return in;
}

} // namespace twk::server
