#include "voice/realtime_messages.h"

#include "common/base64.h"
#include "common/url.h"

namespace twk::realtime {

using nlohmann::json;

std::string endpointUrl(const std::string& origin, const std::string& model)
{
    return origin + "/v1/realtime?model=" + percentEncode(model);
}

json sessionUpdate(const SessionConfig& config)
{
    const json pcm24k = {{"type", "audio/pcm"}, {"rate", 24000}};
    json session = {
        {"type", "realtime"},
        {"instructions", config.instructions},
        {"output_modalities", config.modalities},
        {"audio",
         {{"input",
           {{"format", pcm24k},
            {"turn_detection",
             {{"type", "semantic_vad"},
              {"eagerness", "low"},
              {"create_response", true},
              {"interrupt_response", false}}},
            {"transcription", {{"model", "gpt-4o-mini-transcribe"}}}}},
          {"output", {{"format", pcm24k}, {"voice", config.voice}}}}},
        {"tools", config.tools},
        {"tool_choice", "auto"},
    };
    return {{"type", "session.update"}, {"session", std::move(session)}};
}

json audioAppend(std::span<const std::uint8_t> pcm)
{
    return {{"type", "input_audio_buffer.append"}, {"audio", base64Encode(pcm)}};
}

json toolOutput(const std::string& callId, const std::string& output)
{
    return {{"type", "conversation.item.create"},
            {"item", {{"type", "function_call_output"}, {"call_id", callId}, {"output", output}}}};
}

json toolImage(const std::string& pngBase64)
{
    const json image = {{"type", "input_image"}, {"image_url", "data:image/png;base64," + pngBase64}};
    return {{"type", "conversation.item.create"},
            {"item", {{"type", "message"}, {"role", "user"}, {"content", json::array({image})}}}};
}

json responseCreate()
{
    return {{"type", "response.create"}};
}

json responseCancel()
{
    return {{"type", "response.cancel"}};
}

std::string serialize(const json& message)
{
    return message.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace twk::realtime
