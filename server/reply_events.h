#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace twk::server {

/// The server events of one spoken response, in the order the realtime
/// protocol sends them: created, the message item, its audio in deltas,
/// the audio's end, the transcript, the item's end, done.
std::vector<nlohmann::json> spokenResponseEvents(const std::string& responseId, const std::string& itemId,
                                                 const std::string& transcript, const std::string& pcm16);

/// The server events of a response that asks the client to call one tool.
std::vector<nlohmann::json> functionCallResponseEvents(const std::string& responseId, const std::string& itemId,
                                                       const std::string& callId, const std::string& name,
                                                       const nlohmann::json& arguments);

/// The error a "response.cancel" gets when no response is in progress.
nlohmann::json noActiveResponseError();

/// Bytes of 24 kHz PCM16 in one audio delta (100 ms).
constexpr size_t audioDeltaBytes = 4800;

} // namespace twk::server
