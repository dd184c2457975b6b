#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace twk::server {

/// Settings of the energy detector. Input is PCM16 little-endian mono.
struct VadConfig {
    int sampleRate = 24000;
    int frameMs = 20;
    double thresholdDbfs = -40; // frame RMS at or above this counts as voiced
    int startMs = 100;          // voiced run needed to call speech
    int hangoverMs = 600;       // silence needed to call the end of speech
};

struct VadEvent {
    enum class Kind { speechStarted, speechStopped };
    Kind kind;
    int64_t atMs; // position in the received audio: start of the first voiced frame / end of the last
};

/// Server-side voice-activity detection: frame energy with an onset run and a
/// hangover, so that short clicks do not count as speech and the pauses
/// between words do not end it.
class VoiceActivityDetector {
public:
    explicit VoiceActivityDetector(VadConfig config = {});

    /// Feeds more audio (any length; an odd trailing byte waits for the next call).
    std::vector<VadEvent> push(std::string_view pcm16);

    bool inSpeech() const { return inSpeech_; }
    /// Milliseconds of audio received so far.
    int64_t positionMs() const;

private:
    std::optional<VadEvent> endFrame();

    VadConfig config_;
    int frameSamples_;
    std::optional<unsigned char> pendingByte_;
    int64_t samples_ = 0;       // received, whole samples
    double frameEnergy_ = 0;    // sum of squares in the current frame
    int frameFill_ = 0;
    int64_t frameIndex_ = 0;    // frames completed
    bool inSpeech_ = false;
    int voicedRun_ = 0;         // consecutive voiced frames
    int silentRun_ = 0;         // consecutive silent frames while in speech
};

} // namespace twk::server
