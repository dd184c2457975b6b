#include "voice/audio_service.h"

#include "common/error.h"
#include "common/log.h"

#include <stdexcept>

namespace twk {

std::shared_ptr<AudioService> AudioService::create(AudioSystem& system, Settings& settings, MainLoop& loop)
{
    return std::shared_ptr<AudioService>(new AudioService(system, settings, loop));
}

AudioService::AudioService(AudioSystem& system, Settings& settings, MainLoop& loop)
    : system_(system), settings_(settings), loop_(loop), output_(system.makeOutput(wireSampleRate))
{
    output_->setOnConfigurationChange([&loop] {
        loop.post([] { logLine("[twk] playback engine config changed (will restart on next play)"); });
    });
}

AudioService::~AudioService()
{
    // Both threads are joined here, so neither can call into a dead object.
    if (capture_) capture_->stop();
    output_->stop();
}

std::optional<AudioDevice> AudioService::chooseDevice() const
{
    const std::string id = selectedMicID();
    if (!id.empty())
        for (auto& device : system_.inputDevices())
            if (device.uniqueID == id) return device;
    return system_.defaultInput();
}

void AudioService::startCapture()
{
    if (capturing_) return;
    const auto device = chooseDevice();
    if (!device) throw Error(errorDomain, -1, "no audio input device");
    logLine("[twk] capturing from: " + device->name + " (" + device->uniqueID + ")");
    auto capture = system_.openCapture(*device);
    // The capture thread is joined before `this` goes away (stopCapture, the
    // destructor), so the handler may hold it directly.
    switch (capture->start([this](const PcmBuffer& buffer) { handleCaptured(buffer); })) {
    case AudioCapture::StartResult::running:
        break;
    case AudioCapture::StartResult::inputRefused:
        throw Error(errorDomain, -2, "cannot add mic input");
    case AudioCapture::StartResult::deliveryFailed:
        throw Error(errorDomain, -3, "cannot add audio output");
    }
    capture_ = std::move(capture);
    capturing_ = true;
    logLine(std::string("[twk] capture started; session running=") + (capture_->isRunning() ? "true" : "false"));
}

void AudioService::handleCaptured(const PcmBuffer& buffer)
{
    if (buffer.data == nullptr || buffer.frames == 0) return;
    if (!captureConverter_ || captureConverter_->sourceFormat() != buffer.format) {
        try {
            captureConverter_ = std::make_unique<CaptureConverter>(buffer.format);
        } catch (const std::invalid_argument& e) {
            captureConverter_.reset();
            logLine(std::string("[twk] convert error: ") + e.what());
            return;
        }
        logLine("[twk] capture format: " + describe(buffer.format));
    }
    auto converted = captureConverter_->convert(buffer.data, buffer.frames);
    if (!converted.error.empty()) {
        logLine("[twk] convert error: " + converted.error);
        return;
    }
    if (converted.bytes.empty()) return;
    std::lock_guard lock(audioInLock_);
    if (onAudioIn_) onAudioIn_(std::move(converted.bytes));
}

void AudioService::setOnAudioIn(std::function<void(Bytes)> handler)
{
    std::lock_guard lock(audioInLock_);
    onAudioIn_ = std::move(handler);
}

void AudioService::stopCapture()
{
    if (!capturing_) return;
    capture_->stop();
    capture_.reset();
    captureConverter_.reset();
    output_->stop();
    dropScheduledPlayback();
    capturing_ = false;
}

void AudioService::reconfigureMic()
{
    if (!capturing_) return;
    const std::string id = selectedMicID();
    logLine("[twk] reconfiguring mic to " + (id.empty() ? std::string("default") : id));
    stopCapture();
    try {
        startCapture();
    } catch (const Error& e) {
        // The session goes on without a microphone; say why in the log.
        logLine("[twk] mic restart failed: " + e.description());
    }
}

void AudioService::play(std::span<const std::uint8_t> audio)
{
    const std::size_t frames = audio.size() / 2;
    if (frames == 0) return;
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto value = static_cast<std::int16_t>(audio[2 * i] | (audio[2 * i + 1] << 8));
        samples[i] = static_cast<float>(value) * (1.0f / 32768.0f);
    }
    if (!output_->isRunning())
        if (auto started = output_->start(); !started)
            logLine("[twk] play: engine.start failed: " + started.error().description());

    std::uint64_t generation = 0;
    {
        std::lock_guard lock(playback_->playbackLock);
        ++playback_->pendingPlaybackBuffers;
        generation = playback_->generation;
    }
    output_->schedule(std::move(samples), [playback = playback_, weak = weak_from_this(), &loop = loop_, generation] {
        {
            std::lock_guard lock(playback->playbackLock);
            if (playback->generation != generation) return;
            if (--playback->pendingPlaybackBuffers >= 1) return;
            playback->pendingPlaybackBuffers = 0;
        }
        postDrained(loop, weak);
    });
}

void AudioService::stopPlayback()
{
    output_->reset();
    dropScheduledPlayback();
}

void AudioService::dropScheduledPlayback()
{
    bool hadPending = false;
    {
        std::lock_guard lock(playback_->playbackLock);
        hadPending = playback_->pendingPlaybackBuffers > 0;
        playback_->pendingPlaybackBuffers = 0;
        ++playback_->generation;
    }
    // Whoever waits for the speaker to fall silent learns it did.
    if (hadPending) postDrained(loop_, weak_from_this());
}

void AudioService::postDrained(MainLoop& loop, std::weak_ptr<AudioService> weak)
{
    loop.post([weak = std::move(weak)] {
        if (auto self = weak.lock(); self && self->onPlaybackDrained) self->onPlaybackDrained();
    });
}

int AudioService::pendingPlaybackBuffers() const
{
    std::lock_guard lock(playback_->playbackLock);
    return playback_->pendingPlaybackBuffers;
}

std::vector<AudioService::MicDevice> AudioService::availableMics() const
{
    std::vector<MicDevice> mics;
    for (auto& device : system_.inputDevices()) mics.push_back(MicDevice{device.uniqueID, device.name});
    return mics;
}

std::string AudioService::selectedMicID() const
{
    return settings_.string(micDeviceKey).value_or("");
}

void AudioService::setSelectedMicID(const std::string& id)
{
    settings_.setString(micDeviceKey, id);
    logLine("[twk] mic preference set to " + (id.empty() ? std::string("default") : id));
}

} // namespace twk
