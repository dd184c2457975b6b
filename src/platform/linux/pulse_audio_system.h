#pragma once

#include "platform/audio.h"

namespace twk {

/// The audio system on the user's PulseAudio or PipeWire (pipewire-pulse)
/// server, through the server's own client library: it reports the server's
/// real default input and each source's native format. Every operation
/// connects afresh, so a server started or restarted later is found.
class PulseAudioSystem : public AudioSystem {
public:
    std::vector<AudioDevice> inputDevices() override;
    std::optional<AudioDevice> defaultInput() override;
    std::unique_ptr<AudioCapture> openCapture(const AudioDevice& device) override;
    std::unique_ptr<AudioOutput> makeOutput(double sampleRate) override;
};

} // namespace twk
