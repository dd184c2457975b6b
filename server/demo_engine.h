#pragma once

#include "conversation_engine.h"
#include "session_config.h"

namespace twk::server {

/// The answers when no scenario is given: this server has no speech model,
/// so each finished user turn gets a short spoken-text reply (no audio) that
/// says what was heard, and each response the client asks for gets a brief
/// acknowledgement. Enough to see a session go round.
class DemoEngine : public ConversationEngine {
public:
    explicit DemoEngine(RealtimeOutput& output) : output_(output) {}

    void onClientMessage(const nlohmann::json& message) override;
    void onInputAudio(std::string_view) override {}
    void onVoiceActivity(const VadEvent& event) override;

private:
    void respond(const std::string& text);

    RealtimeOutput& output_;
    SessionConfig session_;
    int64_t speechStartMs_ = 0;
    int responses_ = 0;
};

class DemoEngineFactory : public ConversationEngineFactory {
public:
    std::unique_ptr<ConversationEngine> create(RealtimeOutput& output, int) override
    {
        return std::make_unique<DemoEngine>(output);
    }
};

} // namespace twk::server
