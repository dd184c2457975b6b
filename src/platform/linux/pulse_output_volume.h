#pragma once

#include "platform/output_volume.h"

#include <chrono>

namespace twk {

/// Output volume through the user's sound server (PulseAudio, or PipeWire's
/// PulseAudio service). Each call opens a short-lived connection of its own,
/// so the voice session's audio connections are never held up.
class PulseOutputVolume : public OutputVolume {
public:
    explicit PulseOutputVolume(std::chrono::milliseconds timeout = std::chrono::seconds(2)) : timeout_(timeout) {}

    std::optional<AudioOutputDevice> defaultOutput() override;
    bool setVolume(const std::string& deviceId, std::optional<int> channel, float scalar) override;

private:
    std::chrono::milliseconds timeout_;
};

} // namespace twk
