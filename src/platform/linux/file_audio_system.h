#pragma once

#include "platform/audio.h"

#include <optional>
#include <string>

namespace twk {

/// Audio from and to WAV files, paced like real devices, for headless
/// sessions and end-to-end tests: the microphone plays `micFile` in real time
/// in 20 ms buffers and then goes on with silence, as a quiet room would; the
/// speaker writes what it plays to `speakerFile` and reports each buffer once
/// its duration has passed. A side without a file is taken from `fallback`.
class FileAudioSystem : public AudioSystem {
public:
    FileAudioSystem(AudioSystem& fallback, std::optional<std::string> micFile, std::optional<std::string> speakerFile);

    std::vector<AudioDevice> inputDevices() override;
    std::optional<AudioDevice> defaultInput() override;
    std::unique_ptr<AudioCapture> openCapture(const AudioDevice& device) override;
    std::unique_ptr<AudioOutput> makeOutput(double sampleRate) override;

private:
    AudioSystem& fallback_;
    std::optional<std::string> micFile_;
    std::optional<std::string> speakerFile_;
};

} // namespace twk
