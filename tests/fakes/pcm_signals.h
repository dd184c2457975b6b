#pragma once

// Test signals in the realtime wire format: PCM16 little-endian mono, 24 kHz.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace twk::test {

constexpr int pcmRate = 24000;

inline void appendSample(std::string& out, double value)
{
    const auto s = static_cast<int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767));
    out.push_back(static_cast<char>(static_cast<uint16_t>(s) & 0xff));
    out.push_back(static_cast<char>(static_cast<uint16_t>(s) >> 8));
}

inline std::string silencePcm(int ms) { return std::string(size_t(ms) * pcmRate / 1000 * 2, '\0'); }

/// A voiced sound: a 140 Hz tone with harmonics under a 4 Hz syllable
/// envelope that never quite closes, peaking at `peak` (full scale 1).
inline std::string speechLikePcm(int ms, double peak = 0.5)
{
    std::string out;
    const int n = ms * pcmRate / 1000;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / pcmRate;
        const double envelope = 0.65 + 0.35 * std::sin(2 * M_PI * 4 * t);
        const double voice = 0.6 * std::sin(2 * M_PI * 140 * t) + 0.3 * std::sin(2 * M_PI * 280 * t) +
                             0.1 * std::sin(2 * M_PI * 420 * t);
        appendSample(out, peak * envelope * voice);
    }
    return out;
}

/// White noise at an RMS level of `rms` (full scale 1).
inline std::string noisePcm(int ms, double rms, unsigned seed = 7)
{
    std::mt19937 gen(seed);
    std::normal_distribution<double> normal(0.0, rms);
    std::string out;
    const int n = ms * pcmRate / 1000;
    for (int i = 0; i < n; ++i) appendSample(out, normal(gen));
    return out;
}

/// A canonical 44-byte-header WAV file around `pcm`.
inline std::string wavFile(const std::string& pcm, int rate = pcmRate, int channels = 1, int bits = 16)
{
    std::string out;
    const auto u32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    const auto u16 = [&out](uint16_t v) {
        out.push_back(static_cast<char>(v & 0xff));
        out.push_back(static_cast<char>(v >> 8));
    };
    out += "RIFF";
    u32(uint32_t(36 + pcm.size()));
    out += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(uint16_t(channels));
    u32(uint32_t(rate));
    u32(uint32_t(rate * channels * bits / 8));
    u16(uint16_t(channels * bits / 8));
    u16(uint16_t(bits));
    out += "data";
    u32(uint32_t(pcm.size()));
    return out + pcm;
}

} // namespace twk::test
