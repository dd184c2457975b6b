#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string_view>

namespace twk::server {

/// An "input_audio_buffer.append" message read without the general parser:
/// the document is assembled from its members, the long Base64 text copied
/// as it is rather than lexed character by character. Null for anything
/// else, and for any message whose text needs more than plain reading; the
/// general parser then takes it and produces the same document.
std::optional<nlohmann::json> scanAudioAppend(std::string_view text);

} // namespace twk::server
