#pragma once

#include "platform/audio.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace twk::test {

/// Runs a sound-server tool (pactl, paplay, ...) to completion and returns
/// its output; fails the test when it exits with an error.
std::string runTool(const std::string& path, const std::vector<std::string>& args);

/// Adds a microphone fed by the harness's "micfeed" sink, in the given
/// layout, e.g. addVirtualMic("vmic_f48", "float32le", 48000, 2).
void addVirtualMic(const std::string& name, const std::string& format, int rate, int channels);

/// A spoken sentence made by espeak-ng in a temporary folder: the WAV to
/// play into the virtual microphone, and the same audio in the wire format.
struct Speech {
    std::string wavPath;
    std::vector<std::int16_t> wire; // 24 kHz mono
};
const Speech& speech();

/// Plays `wavPath` into the virtual microphone and waits until it is done.
void feedMic(const std::string& wavPath);

/// Root-mean-square level of each 20 ms window of 24 kHz mono audio, 0..1.
std::vector<double> envelope(const std::vector<std::int16_t>& samples);
/// Best Pearson correlation between `reference` and a stretch of
/// `recording` of the same length (both envelopes), over every offset.
double bestCorrelation(const std::vector<double>& recording, const std::vector<double>& reference);

/// Records a source (e.g. "spk.monitor") with the arrival time of each
/// buffer, through the same capture path the application uses.
class Recorder {
public:
    explicit Recorder(AudioSystem& system, const std::string& source);
    ~Recorder();

    /// When the last sample louder than `threshold` was recorded, estimated
    /// from the arrival of its buffer; nullopt when nothing was that loud.
    std::optional<std::chrono::steady_clock::time_point> lastLoud(float threshold) const;
    /// Seconds of recorded audio louder than `threshold`.
    double loudSeconds(float threshold) const;

private:
    struct Block {
        std::chrono::steady_clock::time_point arrived;
        std::vector<float> mono;
    };
    std::unique_ptr<AudioCapture> capture_;
    double rate_ = 0;
    mutable std::mutex mutex_;
    std::vector<Block> blocks_;
};

} // namespace twk::test
