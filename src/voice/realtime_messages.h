#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace twk::realtime {

/// What a voice session tells the speech service about itself.
struct SessionConfig {
    std::string instructions;
    /// Function tool objects, as the tool catalogue builds them.
    nlohmann::json tools = nlohmann::json::array();
    std::string voice;
    /// ["text"] or ["audio"].
    std::vector<std::string> modalities;
};

/// The service's WebSocket endpoint under `origin` ("ws(s)://host[:port]").
std::string endpointUrl(const std::string& origin, const std::string& model);

nlohmann::json sessionUpdate(const SessionConfig& config);
nlohmann::json audioAppend(std::span<const std::uint8_t> pcm);
nlohmann::json toolOutput(const std::string& callId, const std::string& output);
/// A screenshot as a user message, so the model sees it after the function output.
nlohmann::json toolImage(const std::string& pngBase64);
nlohmann::json responseCreate();
nlohmann::json responseCancel();

/// Compact JSON text. Invalid UTF-8 in strings becomes U+FFFD rather than
/// losing the message.
std::string serialize(const nlohmann::json& message);

} // namespace twk::realtime
