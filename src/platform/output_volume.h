#pragma once

#include <optional>
#include <string>

namespace twk {

/// A sound output as the sound server names it.
struct AudioOutputDevice {
    std::string id;
    int channels = 0;
};

/// The volume of the user's sound outputs. Callable from any thread; every
/// call waits for the sound server's answer (briefly).
class OutputVolume {
public:
    virtual ~OutputVolume() = default;

    /// The output sound goes to by default; nothing when no sound server
    /// answers or it has no output.
    virtual std::optional<AudioOutputDevice> defaultOutput() = 0;
    /// Sets every channel of `deviceId` (no `channel`) or one channel
    /// (0-based) to `scalar` of the device's normal level, 0..1. False when
    /// the server refused.
    virtual bool setVolume(const std::string& deviceId, std::optional<int> channel, float scalar) = 0;
};

} // namespace twk
