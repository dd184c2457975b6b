#include "session_config.h"

namespace twk::server {

void SessionConfig::apply(const nlohmann::json& message)
{
    const nlohmann::json* node = &message;
    for (const char* key : {"session", "audio", "input"}) {
        if (!node->is_object() || !node->contains(key)) return;
        node = &(*node)[key];
    }
    if (!node->is_object() || !node->contains("turn_detection")) return;
    const nlohmann::json& detection = (*node)["turn_detection"];
    turnDetection = detection.is_object();
    if (!turnDetection) return;
    if (const auto it = detection.find("create_response"); it != detection.end() && it->is_boolean()) createResponse = it->get<bool>();
}

} // namespace twk::server
