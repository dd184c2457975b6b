#pragma once

#include "common/expected.h"
#include "platform/audio.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace twk {

/// A RIFF/WAVE file's samples: 16-bit PCM or 32-bit float, any rate and
/// channel count, kept interleaved as they were stored.
struct WavAudio {
    PcmFormat format;
    std::vector<std::uint8_t> data;

    std::size_t frames() const { return format.bytesPerFrame() == 0 ? 0 : data.size() / format.bytesPerFrame(); }
};

/// Reads a WAV file; anything else (or a format other than 16-bit PCM and
/// 32-bit float) is refused with an error naming the file.
Expected<WavAudio> readWav(const std::string& path);

/// Writes 16-bit mono PCM to a WAV file as samples arrive; the header's sizes
/// are brought up to date after every write, so the file is valid even if the
/// program is killed.
class WavWriter {
public:
    WavWriter(const std::string& path, int sampleRate);
    bool ok() const { return static_cast<bool>(file_); }
    /// Samples in [-1, 1] (others are clipped).
    void write(const std::vector<float>& samples);

private:
    void writeHeader();

    std::ofstream file_;
    int sampleRate_;
    std::uint32_t dataBytes_ = 0;
};

} // namespace twk
