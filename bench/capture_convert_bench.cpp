// Converting captured microphone audio to the wire format: 48 kHz float
// stereo (a common desktop capture format) to 24 kHz mono 16-bit, in
// buffers of the size a capture thread delivers. The "x_realtime" counter is
// seconds of audio converted per second of CPU time on one core.

#include "voice/capture_converter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using namespace twk;

void BM_ConvertStereoFloat48k(benchmark::State& state)
{
    const auto frames = static_cast<std::size_t>(state.range(0));
    const PcmFormat format{48000, 2, SampleType::float32};
    std::vector<float> buffer(frames * 2);
    for (std::size_t f = 0; f < frames; ++f) {
        buffer[2 * f] = 0.3f * std::sin(0.0523f * static_cast<float>(f));
        buffer[2 * f + 1] = 0.2f * std::sin(0.0311f * static_cast<float>(f));
    }
    CaptureConverter converter(format);
    for (auto _ : state) {
        auto result = converter.convert(buffer.data(), frames);
        benchmark::DoNotOptimize(result.bytes.data());
    }
    const double audioSeconds = static_cast<double>(state.iterations()) * static_cast<double>(frames) / 48000.0;
    state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames));
}
// 10 ms, ~21 ms (1024 frames) and 100 ms buffers.
BENCHMARK(BM_ConvertStereoFloat48k)->Arg(480)->Arg(1024)->Arg(4800);

} // namespace

BENCHMARK_MAIN();
