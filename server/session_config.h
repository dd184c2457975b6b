#pragma once

#include <nlohmann/json.hpp>

namespace twk::server {

/// The parts of a realtime session's configuration this server acts on.
struct SessionConfig {
    bool turnDetection = true;          // server-side voice-activity detection
    bool createResponse = true;         // reply when the user's turn ends

    /// Applies a "session.update" message. Updates are partial: what the
    /// message leaves out stays as it was; a null turn detection turns it off.
    void apply(const nlohmann::json& message);
};

} // namespace twk::server
