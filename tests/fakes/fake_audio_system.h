#pragma once

#include "common/error.h"
#include "platform/audio.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk::test {

/// An audio system in memory: devices are listed from `devices`, captures
/// deliver what the test hands to `deliver`, and the output keeps scheduled
/// buffers until the test finishes them.
class FakeAudioSystem : public AudioSystem {
public:
    struct CaptureState {
        std::string deviceID;
        AudioCapture::BufferHandler handler;
        bool running = false;
        int stops = 0;
        /// Hands one buffer to the running capture, as its thread would.
        void deliver(const PcmBuffer& buffer) const
        {
            if (running && handler) handler(buffer);
        }
    };
    struct OutputState {
        bool startFails = false;
        bool running = false;
        int starts = 0;
        int resets = 0;
        std::deque<std::vector<float>> scheduled;
        std::deque<AudioOutput::Played> completions;
        /// Completions of buffers that reset/stop dropped, kept so a test can
        /// deliver them late, as a real output thread may.
        std::vector<AudioOutput::Played> dropped;
        std::function<void()> onConfigurationChange;
        /// Reports the oldest scheduled buffer as heard.
        void finishNext();
    };

    std::vector<AudioDevice> devices;
    std::optional<AudioDevice> defaultDevice;
    /// Thrown by the next `openCapture`.
    std::optional<Error> openError;
    AudioCapture::StartResult startResult = AudioCapture::StartResult::running;

    std::vector<std::shared_ptr<CaptureState>> captures; // one per openCapture
    std::shared_ptr<OutputState> output = std::make_shared<OutputState>();

    std::vector<AudioDevice> inputDevices() override { return devices; }
    std::optional<AudioDevice> defaultInput() override { return defaultDevice; }
    std::unique_ptr<AudioCapture> openCapture(const AudioDevice& device) override;
    std::unique_ptr<AudioOutput> makeOutput(double sampleRate) override;
};

} // namespace twk::test
