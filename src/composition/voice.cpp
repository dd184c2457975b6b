#include "composition/voice.h"

namespace twk {
namespace {

std::optional<std::string> given(const std::string& file)
{
    return file.empty() ? std::nullopt : std::optional(file);
}

} // namespace

Voice::Voice(Core& core, const ServiceConfig& config, const std::string& micFile, const std::string& speakerFile)
    : sound(pulse, given(micFile), given(speakerFile)),
      audio(AudioService::create(sound, core.settings, core.loop)),
      state_(core.state)
{
    session = Session::create({core.loop, core.state, core.backend, *audio, core.tools, core.cancellation,
                               [this, origin = config.realtimeOrigin](std::string instructions, nlohmann::json tools,
                                                                      std::string voice,
                                                                      std::vector<std::string> modalities) {
                                   return RealtimeClient::create(sockets, origin, std::move(instructions),
                                                                 std::move(tools), std::move(voice),
                                                                 std::move(modalities));
                               }});
    core.state.attachSession(session.get());
    core.agent.onProgress = [weak = std::weak_ptr<Session>(session)] {
        if (auto live = weak.lock()) live->noteProgress();
    };
    agent_ = &core.agent;
}

Voice::~Voice()
{
    state_.attachSession(nullptr);
    agent_->onProgress = nullptr;
    session->stop();
}

} // namespace twk
