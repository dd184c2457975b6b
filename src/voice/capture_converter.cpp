#include "voice/capture_converter.h"

#include <soxr.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace twk {
namespace {

// Fixed-size runs over local arrays: g++ -O2 vectorises only loops whose
// trip count is known and whose pointers cannot overlap.
constexpr std::size_t lanes = 16;

template <typename Sample>
void mixToMono(const void* data, std::size_t frames, int channels, float scale, float* out)
{
    const auto* in = static_cast<const Sample*>(data);
    std::size_t f = 0;
    if (channels == 2) {
        // The usual desktop source gets a loop the compiler can vectorise.
        const float gain = scale / 2;
        for (; f + lanes <= frames; f += lanes) {
            float run[lanes];
            for (std::size_t k = 0; k < lanes; ++k)
                run[k] = (static_cast<float>(in[2 * (f + k)]) + static_cast<float>(in[2 * (f + k) + 1])) * gain;
            std::memcpy(out + f, run, sizeof run);
        }
    }
    const float gain = scale / static_cast<float>(channels);
    in += f * static_cast<std::size_t>(channels);
    for (; f < frames; ++f) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) sum += static_cast<float>(*in++);
        out[f] = sum * gain;
    }
}

/// How often the rate halves down to the wire rate, if it gets there exactly.
int halvingsToWireRate(double rate)
{
    for (int n = 0; n <= 5; ++n, rate /= 2)
        if (rate == wireSampleRate) return n;
    return -1;
}

/// Rounds to the nearest step and saturates, so a filter's overshoot on a
/// full-scale input stays at the rail instead of wrapping to the other sign.
/// (NaN lands on the negative rail rather than in undefined behaviour.)
std::int16_t toWireSample(float v)
{
    v = std::min(32767.0f, std::max(-32768.0f, v * 32768.0f));
    return static_cast<std::int16_t>(static_cast<int>(v + (v < 0 ? -0.5f : 0.5f)));
}

void toWire(const float* in, std::size_t count, std::uint8_t* bytes)
{
    std::size_t i = 0;
    for (; i + lanes <= count; i += lanes) {
        std::int16_t run[lanes];
        for (std::size_t k = 0; k < lanes; ++k) run[k] = toWireSample(in[i + k]);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(bytes + 2 * i, run, sizeof run);
        } else {
            for (std::size_t k = 0; k < lanes; ++k) {
                const auto s = static_cast<std::uint16_t>(run[k]);
                bytes[2 * (i + k)] = static_cast<std::uint8_t>(s & 0xff);
                bytes[2 * (i + k) + 1] = static_cast<std::uint8_t>(s >> 8);
            }
        }
    }
    for (; i < count; ++i) {
        const auto s = static_cast<std::uint16_t>(toWireSample(in[i]));
        bytes[2 * i] = static_cast<std::uint8_t>(s & 0xff);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
    }
}

} // namespace

CaptureConverter::CaptureConverter(const PcmFormat& source) : source_(source)
{
    if (!(source.sampleRate >= 1000 && source.sampleRate <= 768000) || source.channels < 1 || source.channels > 32)
        throw std::invalid_argument("unsupported capture format: " + describe(source));
    if (const int halvings = halvingsToWireRate(source.sampleRate); halvings >= 0) {
        halvings_.resize(static_cast<std::size_t>(halvings));
        return;
    }
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
    if (frames == 0) return {};
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
    if (resampler_ != nullptr) return resample(frames);
    std::size_t count = frames;
    for (auto& halving : halvings_) count = halving.process(mono_.data(), count, mono_.data());
    Result result;
    result.bytes.resize(count * wireBytesPerFrame);
    toWire(mono_.data(), count, result.bytes.data());
    return result;
}

CaptureConverter::Result CaptureConverter::resample(std::size_t frames)
{
    Result result;
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
