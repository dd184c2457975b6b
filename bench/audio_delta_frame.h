#pragma once

// The frame a realtime service sends for one chunk of the assistant's speech,
// with `audioBytes` of PCM in it, as the realtime benchmarks feed the client.

#include "common/base64.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

inline std::string audioDeltaFrame(size_t audioBytes)
{
    std::vector<std::uint8_t> pcm(audioBytes);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 31);
    return nlohmann::json{{"type", "response.output_audio.delta"}, {"response_id", "resp_1"}, {"item_id", "item_1"},
                          {"output_index", 0}, {"content_index", 0}, {"delta", twk::base64Encode(pcm)}}
        .dump();
}
