#include "agent_dialect.h"

namespace twk::server {
namespace {

using nlohmann::json;

/// Visits image parts from the last to the first.
void visitImages(json& value, const std::string& imageType, const std::function<void(json&)>& visit)
{
    if (value.is_array()) {
        for (auto it = value.rbegin(); it != value.rend(); ++it) visitImages(*it, imageType, visit);
    } else if (value.is_object()) {
        if (value.value("type", json()) == imageType) {
            visit(value);
            return;
        }
        for (auto& [key, member] : value.items()) visitImages(member, imageType, visit);
    }
}

} // namespace

void dropOlderImages(json& messages, const std::string& imageType, size_t keep)
{
    size_t seen = 0;
    visitImages(messages, imageType, [&seen, keep](json& image) {
        if (++seen > keep) image = {{"type", "text"}, {"text", "(an earlier image, no longer shown)"}};
    });
}

std::string startText(const AgentTask& task)
{
    if (!task.screenshotBase64) return task.description;
    return task.description + "\n\nThe screenshot shows the screen at " + std::to_string(task.displayWidth) + "\u00d7" +
           std::to_string(task.displayHeight) + " pixels; click_at takes its pixel coordinates.";
}

int64_t tokenCount(const json& usage, const char* key)
{
    if (!usage.is_object()) return 0;
    const auto it = usage.find(key);
    return it != usage.end() && it->is_number_integer() && it->get<int64_t>() > 0 ? it->get<int64_t>() : 0;
}

} // namespace twk::server
