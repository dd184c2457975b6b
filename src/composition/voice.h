#pragma once

// What a voice session adds to the core: the sound system, the realtime
// sockets and the session controller, attached to the power switch.

#include "composition/core.h"
#include "platform/linux/file_audio_system.h"
#include "platform/linux/pulse_audio_system.h"
#include "platform/linux/qt_websocket.h"
#include "voice/audio_service.h"
#include "voice/session.h"

#include <optional>
#include <string>

namespace twk {

struct Voice {
    /// Empty file names use the real microphone and speaker.
    Voice(Core& core, const ServiceConfig& config, const std::string& micFile = {}, const std::string& speakerFile = {});
    ~Voice();

    PulseAudioSystem pulse;
    FileAudioSystem sound;
    std::shared_ptr<AudioService> audio;
    QtWebSocketFactory sockets;
    std::shared_ptr<Session> session;

private:
    AppState& state_;
    AgentExecutor* agent_ = nullptr;
};

} // namespace twk
