#pragma once

#include "common/expected.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// Label of the thread that delivers captured audio. The kernel keeps only
/// the first 15 bytes of a thread name, so that is what tools such as `top`
/// show.
inline constexpr const char* captureThreadLabel = "com.tarnwick.capture";

/// One audio input the user can pick.
struct AudioDevice {
    /// The sound server's stable identifier (it survives restarts).
    std::string uniqueID;
    /// Human-readable name, in the user's language when the server has one.
    std::string name;

    friend bool operator==(const AudioDevice&, const AudioDevice&) = default;
};

enum class SampleType { int16, int32, float32 };

/// Layout of captured PCM: interleaved native-endian samples.
struct PcmFormat {
    double sampleRate = 0;
    int channels = 0;
    SampleType sampleType = SampleType::float32;

    std::size_t bytesPerFrame() const
    {
        return static_cast<std::size_t>(channels) * (sampleType == SampleType::int16 ? 2u : 4u);
    }
    friend bool operator==(const PcmFormat&, const PcmFormat&) = default;
};

/// e.g. "2 ch, 48000 Hz, Float32, interleaved".
inline std::string describe(const PcmFormat& format)
{
    const char* type = format.sampleType == SampleType::int16   ? "Int16"
                       : format.sampleType == SampleType::int32 ? "Int32"
                                                                : "Float32";
    const auto whole = static_cast<long long>(format.sampleRate);
    const std::string rate = static_cast<double>(whole) == format.sampleRate ? std::to_string(whole)
                                                                             : std::to_string(format.sampleRate);
    return std::to_string(format.channels) + " ch, " + rate + " Hz, " + type + ", interleaved";
}

/// A captured buffer, valid only during the delivery call (no copy is made).
struct PcmBuffer {
    PcmFormat format;
    const void* data = nullptr;
    std::size_t frames = 0;
};

/// A microphone opened for capture. Buffers are delivered one call per
/// buffer the device produced, on the capture thread (`captureThreadLabel`).
class AudioCapture {
public:
    enum class StartResult {
        running,
        /// The sound server would not attach a stream to the device.
        inputRefused,
        /// The capture thread could not be started.
        deliveryFailed,
    };
    using BufferHandler = std::function<void(const PcmBuffer&)>;

    /// Stops capture if it is still running.
    virtual ~AudioCapture() = default;
    virtual StartResult start(BufferHandler onBuffer) = 0;
    virtual bool isRunning() const = 0;
    /// Once this returns no buffer is being or will be delivered. Must not be
    /// called from the buffer handler.
    virtual void stop() = 0;
};

/// Plays mono 32-bit float buffers at a fixed rate, one after the other, and
/// says when each one has been heard.
class AudioOutput {
public:
    using Played = std::function<void()>;

    /// Stops the output if it is running.
    virtual ~AudioOutput() = default;
    virtual VoidResult start() = 0;
    virtual bool isRunning() const = 0;
    /// Queues `samples` after everything already scheduled. `onPlayed` runs
    /// on the output's thread once the buffer's last sample has left the
    /// device (its latency included). A buffer that can never be heard
    /// (output not running, output lost) is reported at once, possibly on the
    /// calling thread.
    virtual void schedule(std::vector<float> samples, Played onPlayed) = 0;
    /// Drops everything scheduled and keeps running: later buffers play at
    /// once. Dropped buffers never report.
    virtual void reset() = 0;
    /// Drops everything scheduled (dropped buffers never report) and releases
    /// the device. `start` opens it again.
    virtual void stop() = 0;
    /// `handler` runs on the output's thread when the device under the output
    /// changed or was lost; a lost output is restarted by the next `start`.
    /// Set it before the first `start`.
    virtual void setOnConfigurationChange(std::function<void()> handler) = 0;
};

/// The machine's sound system. Thread-safe.
class AudioSystem {
public:
    virtual ~AudioSystem() = default;

    /// Microphones in the order the system lists them (outputs' monitors
    /// excluded). Empty when there is no sound system.
    virtual std::vector<AudioDevice> inputDevices() = 0;
    /// The input the system uses when the user chose none.
    virtual std::optional<AudioDevice> defaultInput() = 0;
    /// Opens `device` for capture, not started yet. Throws the system's own
    /// `Error` when the device cannot be opened.
    virtual std::unique_ptr<AudioCapture> openCapture(const AudioDevice& device) = 0;
    /// An output playing `channels`=1 float samples at `sampleRate`, stopped.
    virtual std::unique_ptr<AudioOutput> makeOutput(double sampleRate) = 0;
};

} // namespace twk
