// One "input_audio_buffer.append" frame (20 ms of 24 kHz mono Int16) read by
// tarnwick-server: the general parser beside the append reader it now uses
// when no recorder is attached. Each session sends fifty per second.

#include "audio_append_scan.h"
#include "common/base64.h"
#include "json_input.h"

#include <benchmark/benchmark.h>

namespace {

using namespace twk;

std::string appendFrame()
{
    std::vector<std::uint8_t> pcm(960);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 31);
    return nlohmann::json{{"type", "input_audio_buffer.append"}, {"event_id", "event_1"}, {"audio", base64Encode(pcm)}}
        .dump();
}

void BM_AppendGeneralParser(benchmark::State& state)
{
    const std::string frame = appendFrame();
    for (auto _ : state) benchmark::DoNotOptimize(server::parseJsonInput(frame));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendGeneralParser);

void BM_AppendReader(benchmark::State& state)
{
    const std::string frame = appendFrame();
    for (auto _ : state) benchmark::DoNotOptimize(server::scanAudioAppend(frame));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendReader);

} // namespace

BENCHMARK_MAIN();
