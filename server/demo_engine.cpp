#include "demo_engine.h"

#include "reply_events.h"

#include <cstdio>

namespace twk::server {

void DemoEngine::onClientMessage(const nlohmann::json& message)
{
    const std::string type = message["type"];
    if (type == "session.update") {
        session_.apply(message);
    } else if (type == "response.create") {
        respond("Done.");
    } else if (type == "response.cancel") {
        // Replies here are complete the moment they start: there is never one to cancel.
        output_.send(noActiveResponseError());
    }
}

void DemoEngine::onVoiceActivity(const VadEvent& event)
{
    if (event.kind == VadEvent::Kind::speechStarted) {
        speechStartMs_ = event.atMs;
        return;
    }
    char heard[64];
    std::snprintf(heard, sizeof heard, "%.1f seconds of speech", double(event.atMs - speechStartMs_) / 1000.0);
    output_.send({{"type", "conversation.item.input_audio_transcription.completed"},
                  {"item_id", "item_demo_" + std::to_string(responses_ + 1)},
                  {"content_index", 0},
                  {"transcript", std::string("(") + heard + ")"}});
    if (session_.createResponse)
        respond(std::string("I heard ") + heard + ". This local server has no speech model, so it cannot understand words.");
}

void DemoEngine::respond(const std::string& text)
{
    const std::string id = "resp_demo_" + std::to_string(++responses_);
    output_.send({{"type", "response.created"}, {"response", {{"id", id}, {"status", "in_progress"}}}});
    output_.send({{"type", "response.output_audio_transcript.done"}, {"response_id", id}, {"transcript", text}});
    output_.send({{"type", "response.done"},
                  {"response",
                   {{"id", id},
                    {"status", "completed"},
                    {"output", nlohmann::json::array({{{"type", "message"}, {"content", nlohmann::json::array({{{"type", "output_audio"}}})}}})},
                    {"usage", {{"output_tokens", 0}}}}}});
}

} // namespace twk::server
