#include "voice_activity_detector.h"

#include <cmath>

namespace twk::server {

VoiceActivityDetector::VoiceActivityDetector(VadConfig config)
    : config_(config), frameSamples_(config.sampleRate * config.frameMs / 1000)
{
}

int64_t VoiceActivityDetector::positionMs() const { return samples_ * 1000 / config_.sampleRate; }

std::vector<VadEvent> VoiceActivityDetector::push(std::string_view pcm16)
{
    std::vector<VadEvent> events;
    const auto take = [&](unsigned char lo, unsigned char hi) {
        const auto sample = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
        frameEnergy_ += double(sample) * double(sample);
        ++samples_;
        if (++frameFill_ == frameSamples_)
            if (auto e = endFrame()) events.push_back(*e);
    };
    size_t i = 0;
    if (pendingByte_ && !pcm16.empty()) {
        take(*pendingByte_, static_cast<unsigned char>(pcm16[0]));
        pendingByte_.reset();
        i = 1;
    }
    for (; i + 1 < pcm16.size(); i += 2) take(static_cast<unsigned char>(pcm16[i]), static_cast<unsigned char>(pcm16[i + 1]));
    if (i < pcm16.size()) pendingByte_ = static_cast<unsigned char>(pcm16[i]);
    return events;
}

std::optional<VadEvent> VoiceActivityDetector::endFrame()
{
    const double rms = std::sqrt(frameEnergy_ / frameSamples_) / 32768.0;
    const double dbfs = rms > 0 ? 20 * std::log10(rms) : -200;
    frameEnergy_ = 0;
    frameFill_ = 0;
    const int64_t frameStartMs = frameIndex_ * config_.frameMs;
    ++frameIndex_;
    const bool voiced = dbfs >= config_.thresholdDbfs;

    if (!inSpeech_) {
        voicedRun_ = voiced ? voicedRun_ + 1 : 0;
        if (voicedRun_ * config_.frameMs >= config_.startMs) {
            inSpeech_ = true;
            silentRun_ = 0;
            return VadEvent{VadEvent::Kind::speechStarted, frameStartMs - int64_t(voicedRun_ - 1) * config_.frameMs};
        }
        return std::nullopt;
    }
    silentRun_ = voiced ? 0 : silentRun_ + 1;
    if (silentRun_ * config_.frameMs >= config_.hangoverMs) {
        inSpeech_ = false;
        voicedRun_ = 0;
        const int64_t lastVoicedEnd = frameStartMs + config_.frameMs - int64_t(silentRun_) * config_.frameMs;
        return VadEvent{VadEvent::Kind::speechStopped, lastVoicedEnd};
    }
    return std::nullopt;
}

} // namespace twk::server
