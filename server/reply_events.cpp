#include "reply_events.h"

#include "common/base64.h"

#include <span>

namespace twk::server {
namespace {

using nlohmann::json;

json responseDone(const std::string& responseId, json output)
{
    return {{"type", "response.done"},
            {"response",
             {{"id", responseId}, {"status", "completed"}, {"output", std::move(output)}, {"usage", {{"output_tokens", 0}}}}}};
}

json responseCreated(const std::string& responseId)
{
    return {{"type", "response.created"}, {"response", {{"id", responseId}, {"status", "in_progress"}}}};
}

} // namespace

std::vector<json> spokenResponseEvents(const std::string& responseId, const std::string& itemId,
                                       const std::string& transcript, const std::string& pcm16)
{
    const json ids = {{"response_id", responseId}, {"item_id", itemId}, {"output_index", 0}, {"content_index", 0}};
    auto withIds = [&ids](json event) {
        event.update(ids);
        return event;
    };
    const json item = {{"id", itemId}, {"type", "message"}, {"role", "assistant"}, {"status", "completed"},
                       {"content", json::array({{{"type", "output_audio"}, {"transcript", transcript}}})}};

    std::vector<json> events{responseCreated(responseId)};
    events.push_back({{"type", "response.output_item.added"}, {"response_id", responseId}, {"output_index", 0},
                      {"item", {{"id", itemId}, {"type", "message"}, {"role", "assistant"}, {"status", "in_progress"}}}});
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm16.data());
    for (size_t at = 0; at < pcm16.size(); at += audioDeltaBytes) {
        const size_t n = std::min(audioDeltaBytes, pcm16.size() - at);
        events.push_back(withIds({{"type", "response.output_audio.delta"}, {"delta", base64Encode(std::span(bytes + at, n))}}));
    }
    events.push_back(withIds({{"type", "response.output_audio.done"}}));
    events.push_back(withIds({{"type", "response.output_audio_transcript.done"}, {"transcript", transcript}}));
    events.push_back({{"type", "response.output_item.done"}, {"response_id", responseId}, {"output_index", 0}, {"item", item}});
    events.push_back(responseDone(responseId, json::array({item})));
    return events;
}

std::vector<json> functionCallResponseEvents(const std::string& responseId, const std::string& itemId,
                                             const std::string& callId, const std::string& name, const json& arguments)
{
    const std::string args = arguments.dump();
    const json item = {{"id", itemId},     {"type", "function_call"}, {"status", "completed"},
                       {"call_id", callId}, {"name", name},            {"arguments", args}};
    json added = item;
    added["status"] = "in_progress";
    added["arguments"] = "";
    return {
        responseCreated(responseId),
        {{"type", "response.output_item.added"}, {"response_id", responseId}, {"output_index", 0}, {"item", added}},
        {{"type", "response.function_call_arguments.done"},
         {"response_id", responseId},
         {"item_id", itemId},
         {"output_index", 0},
         {"call_id", callId},
         {"name", name},
         {"arguments", args}},
        {{"type", "response.output_item.done"}, {"response_id", responseId}, {"output_index", 0}, {"item", item}},
        responseDone(responseId, json::array({item})),
    };
}

json noActiveResponseError()
{
    return {{"type", "error"},
            {"error",
             {{"type", "invalid_request_error"},
              {"code", "response_cancel_not_active"},
              {"message", "Cancellation failed: no active response found"}}}};
}

} // namespace twk::server
