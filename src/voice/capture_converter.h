#pragma once

#include "platform/audio.h"
#include "voice/half_band_decimator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct soxr;

namespace twk {

/// The realtime wire format: 24 kHz, mono, signed 16-bit little-endian.
inline constexpr double wireSampleRate = 24000;
inline constexpr std::size_t wireBytesPerFrame = 2;

/// Turns captured buffers of one source format into wire-format audio, one
/// chunk per buffer. A source with several channels is averaged to one.
/// Sources at the wire rate times a power of two (48 and 96 kHz above all)
/// are halved by fixed filters as often as needed; any other rate goes
/// through a resampler. Either keeps its filter state from call to call, so
/// consecutive buffers join without clicks.
class CaptureConverter {
public:
    /// Throws `std::invalid_argument` for a format it cannot read.
    explicit CaptureConverter(const PcmFormat& source);
    ~CaptureConverter();
    CaptureConverter(const CaptureConverter&) = delete;
    CaptureConverter& operator=(const CaptureConverter&) = delete;

    const PcmFormat& sourceFormat() const { return source_; }

    struct Result {
        std::vector<std::uint8_t> bytes;
        /// The resampler's error, empty on success.
        std::string error;
    };
    /// Converts one buffer of the source format. The output may be a frame
    /// shorter or longer than the exact ratio (more while a resampler fills).
    Result convert(const void* data, std::size_t frames);

private:
    Result resample(std::size_t frames);

    PcmFormat source_;
    std::vector<HalfBandDecimator> halvings_;
    struct soxr* resampler_ = nullptr;
    std::vector<float> mono_;
    std::vector<std::int16_t> out_;
};

} // namespace twk
