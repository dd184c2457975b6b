#include "voice/half_band_decimator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

namespace twk {
namespace {

constexpr std::size_t taps = 2 * HalfBandDecimator::delay + 1;
// Every other tap of a half-band filter is zero; the rest are symmetric, so
// only half of the odd-phase taps need storing.
constexpr std::size_t oddPhaseTaps = (taps + 1) / 2;
constexpr std::size_t history = oddPhaseTaps - 1;
static_assert(HalfBandDecimator::delay % 2 == 1, "the centre tap must fall on the other phase");

struct Taps {
    float centre = 0;
    std::array<float, oddPhaseTaps / 2> sides{};
};

/// A windowed sinc cut off at a quarter of the input rate. The Kaiser
/// window's beta buys about 80 dB of stopband for this length.
Taps designTaps()
{
    constexpr double beta = 7.857;
    const double half = static_cast<double>(HalfBandDecimator::delay);
    std::array<double, taps> h{};
    double sum = 0;
    for (std::size_t j = 0; j < taps; ++j) {
        const double m = static_cast<double>(j) - half;
        const double sinc = m == 0 ? 0.5 : std::sin(std::numbers::pi * m / 2) / (std::numbers::pi * m);
        const double window = std::cyl_bessel_i(0.0, beta * std::sqrt(1 - (m / half) * (m / half)));
        h[j] = sinc * window;
        sum += h[j];
    }
    // Unit gain at DC, whatever the window did to it.
    Taps t;
    t.centre = static_cast<float>(h[HalfBandDecimator::delay] / sum);
    for (std::size_t i = 0; i < t.sides.size(); ++i) t.sides[i] = static_cast<float>(h[2 * i] / sum);
    return t;
}

const Taps& filterTaps()
{
    static const Taps t = designTaps();
    return t;
}

// Work goes in fixed-size runs over local arrays: g++ -O2 vectorises only
// loops whose trip count is known and whose pointers cannot overlap.
constexpr std::size_t lanes = 8;

void splitPhases(const float* in, std::size_t pairs, float* even, float* odd)
{
    std::size_t p = 0;
    for (; p + lanes <= pairs; p += lanes) {
        float e[lanes], o[lanes];
        for (std::size_t k = 0; k < lanes; ++k) {
            e[k] = in[2 * (p + k)];
            o[k] = in[2 * (p + k) + 1];
        }
        std::memcpy(even + p, e, sizeof e);
        std::memcpy(odd + p, o, sizeof o);
    }
    for (; p < pairs; ++p) {
        even[p] = in[2 * p];
        odd[p] = in[2 * p + 1];
    }
}

/// The outputs of `lanes` consecutive pairs, the first of which ends with
/// `*odd` and starts with `*even`. Each output adds its terms in the same
/// order wherever the run starts, so buffer boundaries leave no trace.
void filterRun(const Taps& t, const float* even, const float* odd, float* out)
{
    float y[lanes];
    const float* centre = even - (HalfBandDecimator::delay - 1) / 2;
    for (std::size_t k = 0; k < lanes; ++k) y[k] = t.centre * centre[k];
    for (std::size_t i = 0; i < t.sides.size(); ++i) {
        const float* newer = odd - i;
        const float* older = odd - history + i;
        const float g = t.sides[i];
        for (std::size_t k = 0; k < lanes; ++k) y[k] += g * (newer[k] + older[k]);
    }
    std::memcpy(out, y, sizeof y);
}

} // namespace

HalfBandDecimator::HalfBandDecimator() : even_(history, 0.0f), odd_(history, 0.0f)
{
    filterTaps();
}

std::size_t HalfBandDecimator::process(const float* in, std::size_t count, float* out)
{
    // Beyond the new pairs, room for the last run to read a full run.
    const std::size_t capacity = history + (count + 1) / 2 + lanes;
    if (even_.size() < capacity) {
        even_.resize(capacity);
        odd_.resize(capacity);
    }
    std::size_t at = 0;
    std::size_t pairs = 0;
    if (halfPair_ && count > 0) {
        even_[history] = halfPairSample_;
        odd_[history] = in[0];
        halfPair_ = false;
        at = 1;
        pairs = 1;
    }
    const std::size_t whole = (count - at) / 2;
    splitPhases(in + at, whole, even_.data() + history + pairs, odd_.data() + history + pairs);
    pairs += whole;
    at += 2 * whole;
    if (at < count) {
        halfPair_ = true;
        halfPairSample_ = in[at];
    }
    const Taps& t = filterTaps();
    for (std::size_t first = 0; first < pairs; first += lanes) {
        float y[lanes];
        filterRun(t, even_.data() + history + first, odd_.data() + history + first, y);
        std::memcpy(out + first, y, std::min(lanes, pairs - first) * sizeof(float));
    }
    // Keep what the next call's first outputs reach back into.
    std::memmove(even_.data(), even_.data() + pairs, history * sizeof(float));
    std::memmove(odd_.data(), odd_.data() + pairs, history * sizeof(float));
    return pairs;
}

} // namespace twk
