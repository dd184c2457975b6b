#include "voice/capture_converter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace twk {
namespace {

template <typename Sample>
void mixToMono(const void* data, std::size_t frames, int channels, float scale, float* out)
{
    const auto* in = static_cast<const Sample*>(data);
    const float gain = scale / static_cast<float>(channels);
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) sum += static_cast<float>(*in++);
        out[f] = sum * gain;
    }
}

} // namespace

CaptureConverter::CaptureConverter(const PcmFormat& source) : source_(source)
{
    if (!(source.sampleRate >= 1000 && source.sampleRate <= 768000) || source.channels < 1 || source.channels > 32)
        throw std::invalid_argument("unsupported capture format: " + describe(source));
    // Dither would make the output differ from run to run; speech does not need it.
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER;
    // The variable-rate engine filters sample by sample, so every buffer
    // yields its share of output at once; the fixed-rate one works in blocks
    // and would hand out bursts after several buffers of nothing.
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_VR);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    const double ratio = source.sampleRate / wireSampleRate;
    soxr_error_t error = nullptr;
    resampler_ = soxr_create(ratio, 1, 1, &error, &io, &quality, &runtime);
    if (resampler_ != nullptr && error == nullptr) error = soxr_set_io_ratio(resampler_, ratio, 0);
    if (resampler_ == nullptr || error != nullptr) {
        soxr_delete(resampler_);
        throw std::invalid_argument(std::string("cannot create resampler: ") + soxr_strerror(error));
    }
}

CaptureConverter::~CaptureConverter()
{
    soxr_delete(resampler_);
}

CaptureConverter::Result CaptureConverter::convert(const void* data, std::size_t frames)
{
    Result result;
    if (frames == 0) return result;
    mono_.resize(frames);
    switch (source_.sampleType) {
    case SampleType::int16:
        mixToMono<std::int16_t>(data, frames, source_.channels, 1.0f / 32768.0f, mono_.data());
        break;
    case SampleType::int32:
        mixToMono<std::int32_t>(data, frames, source_.channels, 1.0f / 2147483648.0f, mono_.data());
        break;
    case SampleType::float32:
        mixToMono<float>(data, frames, source_.channels, 1.0f, mono_.data());
        break;
    }
    // Room for the exact ratio plus what the filter may still hold back.
    const auto capacity =
        static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * wireSampleRate / source_.sampleRate)) + 64;
    out_.resize(capacity);
    std::size_t used = 0, produced = 0;
    if (const soxr_error_t error =
            soxr_process(resampler_, mono_.data(), frames, &used, out_.data(), capacity, &produced)) {
        result.error = error;
        return result;
    }
    result.bytes.resize(produced * wireBytesPerFrame);
    auto* bytes = result.bytes.data();
    for (std::size_t i = 0; i < produced; ++i) {
        const auto v = static_cast<std::uint16_t>(out_[i]);
        bytes[2 * i] = static_cast<std::uint8_t>(v & 0xff);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return result;
}

} // namespace twk
