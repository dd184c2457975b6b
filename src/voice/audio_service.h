#pragma once

#include "common/main_loop.h"
#include "platform/audio.h"
#include "platform/settings.h"
#include "voice/capture_converter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace twk {

/// The two audio paths of a voice session: the microphone, converted to the
/// wire format and handed out one chunk per captured buffer, and the
/// speaker, playing the assistant's chunks and saying when the last one has
/// been heard. One per application; build it with `create`.
class AudioService : public std::enable_shared_from_this<AudioService> {
public:
    struct MicDevice {
        std::string uniqueID;
        std::string name;
        friend bool operator==(const MicDevice&, const MicDevice&) = default;
    };
    using Bytes = std::vector<std::uint8_t>;

    /// Settings key of the chosen microphone; empty or absent means the
    /// system's default input.
    static constexpr const char* micDeviceKey = "twk.micDeviceID";
    static constexpr const char* errorDomain = "twk.audio";

    static std::shared_ptr<AudioService> create(AudioSystem& system, Settings& settings, MainLoop& loop);
    ~AudioService();
    AudioService(const AudioService&) = delete;
    AudioService& operator=(const AudioService&) = delete;

    /// Starts the microphone chosen in the settings (or the default one).
    /// Throws `Error` ("twk.audio" -1 no device, -2 input refused, -3 no
    /// delivery; or the sound system's own error when the device cannot be
    /// opened). Does nothing while capturing. Main thread.
    void startCapture();
    /// Stops capture and playback. Main thread.
    void stopCapture();
    /// Restarts capture on the newly chosen microphone, if capturing.
    void reconfigureMic();
    bool capturing() const { return capturing_; }

    /// Schedules one chunk of wire-format audio (an odd trailing byte is
    /// ignored). Main thread.
    void play(std::span<const std::uint8_t> audio);
    /// Drops every scheduled chunk; later chunks play at once. Main thread.
    void stopPlayback();
    /// Chunks scheduled and not yet heard. Any thread.
    int pendingPlaybackBuffers() const;

    std::vector<MicDevice> availableMics() const;
    std::string selectedMicID() const;
    void setSelectedMicID(const std::string& id);
    /// Linux has no per-application microphone prompt: access is decided by
    /// the sound server (see `Permissions::microphoneGranted`) and is never
    /// "not determined", so this returns at once without asking anything.
    static void requestMicrophonePermission() {}

    /// Receives each converted chunk on the capture thread. Set it before
    /// `startCapture`; it may be replaced at any time.
    void setOnAudioIn(std::function<void(Bytes)> handler);
    /// Called on the main thread when the last scheduled chunk has been heard.
    std::function<void()> onPlaybackDrained;

private:
    AudioService(AudioSystem& system, Settings& settings, MainLoop& loop);
    std::optional<AudioDevice> chooseDevice() const;
    void handleCaptured(const PcmBuffer& buffer);
    void dropScheduledPlayback();
    static void postDrained(MainLoop& loop, std::weak_ptr<AudioService> weak);

    AudioSystem& system_;
    Settings& settings_;
    MainLoop& loop_;
    std::unique_ptr<AudioOutput> output_;

    // Main thread.
    std::unique_ptr<AudioCapture> capture_;
    bool capturing_ = false;

    // Capture thread (cleared on the main thread once capture has stopped).
    std::unique_ptr<CaptureConverter> captureConverter_;

    mutable std::mutex audioInLock_;
    std::function<void(Bytes)> onAudioIn_;

    /// Shared with player completions, which may still run on the output's
    /// thread after this object is gone.
    struct Playback {
        std::mutex playbackLock;
        int pendingPlaybackBuffers = 0;
        /// Bumped whenever scheduled chunks are dropped, so completions of
        /// dropped chunks that are already on their way count for nothing.
        std::uint64_t generation = 0;
    };
    std::shared_ptr<Playback> playback_ = std::make_shared<Playback>();
};

} // namespace twk
