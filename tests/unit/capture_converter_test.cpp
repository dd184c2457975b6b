#include "voice/capture_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace twk {
namespace {

/// Interleaved frames of a sine per channel; `phase[c]` flips channel c.
template <typename Sample>
std::vector<Sample> sine(double rate, int channels, std::size_t frames, double hz, double amplitude, double scale,
                         bool antiPhase = false)
{
    std::vector<Sample> out;
    for (std::size_t f = 0; f < frames; ++f) {
        const double v = amplitude * std::sin(2 * M_PI * hz * static_cast<double>(f) / rate);
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<Sample>((antiPhase && c % 2 == 1 ? -v : v) * scale));
    }
    return out;
}

std::vector<std::int16_t> samplesOf(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); // little-endian on the wire
    return out;
}

/// Converts `data` in buffers of `frames` frames and joins the output.
template <typename Sample>
std::vector<std::int16_t> convertInBuffers(CaptureConverter& converter, const std::vector<Sample>& data,
                                           std::size_t frames)
{
    const auto channels = static_cast<std::size_t>(converter.sourceFormat().channels);
    std::vector<std::int16_t> out;
    for (std::size_t at = 0; at < data.size(); at += frames * channels) {
        const std::size_t n = std::min(frames, (data.size() - at) / channels);
        auto result = converter.convert(data.data() + at, n);
        EXPECT_EQ(result.error, "");
        const auto s = samplesOf(result.bytes);
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

double peak(const std::vector<std::int16_t>& s, std::size_t from)
{
    int best = 0;
    for (std::size_t i = from; i < s.size(); ++i) best = std::max(best, std::abs(static_cast<int>(s[i])));
    return best / 32768.0;
}

int zeroCrossings(const std::vector<std::int16_t>& s, std::size_t from)
{
    int n = 0;
    for (std::size_t i = from + 1; i < s.size(); ++i) n += (s[i - 1] < 0) != (s[i] < 0);
    return n;
}

TEST(CaptureConverter, StereoFloatAt48kBecomesMono16BitAt24kKeepingPitchAndLevel)
{
    CaptureConverter converter(PcmFormat{48000, 2, SampleType::float32});
    const auto in = sine<float>(48000, 2, 48000, 1000, 0.5, 1.0);
    const auto out = convertInBuffers(converter, in, 1024);
    EXPECT_NEAR(static_cast<double>(out.size()), 24000.0, 200.0);
    EXPECT_NEAR(peak(out, 1000), 0.5, 0.02);
    // One second of 1 kHz: 2000 zero crossings, less the skipped start.
    EXPECT_NEAR(zeroCrossings(out, 1000), 2000 * (out.size() - 1000) / 24000.0, 4.0);
}

TEST(CaptureConverter, ChannelsAreAveragedNotPicked)
{
    CaptureConverter converter(PcmFormat{48000, 2, SampleType::float32});
    const auto out = convertInBuffers(converter, sine<float>(48000, 2, 9600, 440, 0.8, 1.0, true), 960);
    ASSERT_GT(out.size(), 4000u);
    EXPECT_LT(peak(out, 0), 0.001) << "opposite channels cancel out";
}

TEST(CaptureConverter, IntegerSamplesAreScaledToTheSameLevelAsFloat)
{
    CaptureConverter fromFloat(PcmFormat{48000, 1, SampleType::float32});
    CaptureConverter from16(PcmFormat{48000, 1, SampleType::int16});
    CaptureConverter from32(PcmFormat{48000, 1, SampleType::int32});
    const auto f = convertInBuffers(fromFloat, sine<float>(48000, 1, 9600, 300, 0.5, 1.0), 960);
    const auto i16 = convertInBuffers(from16, sine<std::int16_t>(48000, 1, 9600, 300, 0.5, 32768.0), 960);
    const auto i32 = convertInBuffers(from32, sine<std::int32_t>(48000, 1, 9600, 300, 0.5, 2147483648.0), 960);
    ASSERT_EQ(f.size(), i16.size());
    ASSERT_EQ(f.size(), i32.size());
    for (std::size_t i = 0; i < f.size(); ++i) {
        EXPECT_NEAR(f[i], i16[i], 2) << i;
        EXPECT_NEAR(f[i], i32[i], 1) << i;
    }
    EXPECT_NEAR(peak(f, 500), 0.5, 0.02);
}

TEST(CaptureConverter, FilterStateCarriesAcrossBuffersSoSplittingChangesNothing)
{
    const auto in = sine<std::int16_t>(44100, 1, 44100, 523.25, 0.6, 32767.0);
    CaptureConverter whole(PcmFormat{44100, 1, SampleType::int16});
    CaptureConverter split(PcmFormat{44100, 1, SampleType::int16});
    const auto a = convertInBuffers(whole, in, in.size());
    const auto b = convertInBuffers(split, in, 441);
    EXPECT_NEAR(static_cast<double>(a.size()), 24000.0, 200.0);
    EXPECT_NEAR(static_cast<double>(b.size()), static_cast<double>(a.size()), 2.0);
    const std::size_t n = std::min(a.size(), b.size());
    int worst = 0;
    for (std::size_t i = 0; i < n; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    EXPECT_LE(worst, 1) << "buffer boundaries must not show in the output";
}

/// Deterministic noise plus a tone, interleaved stereo float: every filter
/// tap and both channels matter to the result.
std::vector<float> noisyStereo(std::size_t frames)
{
    std::vector<float> out(frames * 2);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < out.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(state >> 8) / (1u << 24) - 0.5;
        out[i] = static_cast<float>(0.3 * noise + 0.4 * std::sin(0.0731 * static_cast<double>(i / 2)));
    }
    return out;
}

TEST(CaptureConverter, AnySplitOfTheStreamGivesTheWholeStreamsSamplesAtOnce)
{
    const auto in = noisyStereo(48000);
    for (const double rate : {48000.0, 96000.0}) {
        SCOPED_TRACE(rate);
        const auto ratio = static_cast<std::size_t>(rate / wireSampleRate);
        CaptureConverter whole(PcmFormat{rate, 2, SampleType::float32});
        CaptureConverter split(PcmFormat{rate, 2, SampleType::float32});
        const auto expected = convertInBuffers(whole, in, in.size());
        std::vector<std::int16_t> got;
        std::uint32_t state = 99;
        std::size_t frames = 0;
        for (std::size_t at = 0; at < in.size(); at += 2 * frames) {
            state = state * 1103515245u + 12345u;
            // Many single frames, some odd sizes, now and then a large buffer.
            const std::size_t pick = (state >> 16) % 8;
            const std::size_t size = pick < 3 ? 1 : pick < 7 ? (state >> 4) % 97 + 1 : 2000;
            frames = std::min(size, (in.size() - at) / 2);
            const auto s = samplesOf(split.convert(in.data() + at, frames).bytes);
            got.insert(got.end(), s.begin(), s.end());
            // Nothing is held back: each buffer yields all its whole output frames.
            ASSERT_EQ(got.size(), (at / 2 + frames) / ratio) << "after frame " << at / 2 + frames;
        }
        ASSERT_EQ(got, expected);
    }
}

/// Level in decibels of `s` (from `from`, over `count` samples) against a
/// full-scale sine.
double levelDb(const std::vector<std::int16_t>& s, std::size_t from, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i) sum += static_cast<double>(s.at(i)) * s.at(i);
    return 20 * std::log10(std::sqrt(sum / static_cast<double>(count)) / 32768.0 * std::sqrt(2.0));
}

TEST(CaptureConverter, HalvingKeepsSpeechAtUnitGainAndStopsWhatWouldAlias)
{
    for (const double rate : {48000.0, 96000.0}) {
        SCOPED_TRACE(rate);
        CaptureConverter speech(PcmFormat{rate, 2, SampleType::float32});
        CaptureConverter high(PcmFormat{rate, 2, SampleType::float32});
        const auto n = static_cast<std::size_t>(rate / 2);
        // Half a second: 24 whole periods of 1 kHz fit in 576 output samples.
        const auto pass = convertInBuffers(speech, sine<float>(rate, 2, n, 1000, 0.5, 1.0), 480);
        EXPECT_NEAR(levelDb(pass, 200, 576 * 10), 20 * std::log10(0.5), 0.1);
        // 15 kHz would fold to 9 kHz at the wire rate.
        const auto stop = convertInBuffers(high, sine<float>(rate, 2, n, 15000, 0.5, 1.0), 480);
        EXPECT_LT(levelDb(stop, 200, 576 * 10), 20 * std::log10(0.5) - 60);
    }
}

TEST(CaptureConverter, FullScaleInputSaturatesInsteadOfWrapping)
{
    // A full-scale square wave: its edges ring past full scale in the filter.
    std::vector<float> square;
    for (std::size_t f = 0; f < 4800; ++f) square.push_back(f / 120 % 2 == 0 ? 1.0f : -1.0f);
    CaptureConverter converter(PcmFormat{48000, 1, SampleType::float32});
    const auto out = convertInBuffers(converter, square, 480);
    ASSERT_EQ(out.size(), 2400u);
    int biggestStep = 0;
    for (std::size_t i = 1; i < out.size(); ++i) biggestStep = std::max(biggestStep, std::abs(out[i] - out[i - 1]));
    EXPECT_LT(biggestStep, 60000) << "a wrapped sample jumps nearly the whole range";
    // Mid-plateau: 60 output samples per half period, about 15 of delay.
    EXPECT_EQ(out[30 + 16], 32767);
    EXPECT_EQ(out[90 + 16], -32768);
}

TEST(CaptureConverter, AtTheWireRateSamplesPassUnchangedOrRoundedToTheNearestStep)
{
    CaptureConverter fromInt(PcmFormat{24000, 1, SampleType::int16});
    const std::vector<std::int16_t> in{0, 1, -1, 32767, -32768, 12345, -54, 7};
    EXPECT_EQ(convertInBuffers(fromInt, in, 3), in);
    CaptureConverter fromFloat(PcmFormat{24000, 1, SampleType::float32});
    const float step = 1.0f / 32768;
    const std::vector<float> between{0.6f * step, -0.6f * step, 2.4f * step, -2.4f * step, 100.7f * step};
    EXPECT_EQ(convertInBuffers(fromFloat, between, 2), (std::vector<std::int16_t>{1, -1, 2, -2, 101}));
}

TEST(CaptureConverter, RejectsFormatsItCannotRead)
{
    EXPECT_THROW(CaptureConverter(PcmFormat{0, 1, SampleType::int16}), std::invalid_argument);
    EXPECT_THROW(CaptureConverter(PcmFormat{48000, 0, SampleType::int16}), std::invalid_argument);
    EXPECT_THROW(CaptureConverter(PcmFormat{std::nan(""), 2, SampleType::float32}), std::invalid_argument);
}

} // namespace
} // namespace twk
