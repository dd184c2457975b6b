// Server audio handled by the realtime client on one thread: each iteration
// is one "response.output_audio.delta" text frame parsed, Base64-decoded and
// delivered as an event. A live stream brings about 50 per second.

#include "audio_delta_frame.h"
#include "fakes/fake_websocket.h"
#include "voice/realtime_client.h"

#include <benchmark/benchmark.h>

namespace {

using namespace twk;

void BM_AudioDeltaHandled(benchmark::State& state)
{
    test::FakeWebSocketFactory sockets;
    auto client = RealtimeClient::create(sockets, "ws://127.0.0.1:1", "", nlohmann::json::array(), "v", {"audio"});
    size_t bytes = 0;
    client->onEvent = [&](RealtimeClient::Event e) {
        if (const auto* audio = std::get_if<realtime::AudioDelta>(&e)) bytes += audio->bytes.size();
    };
    client->connect("secret", "model");
    auto& socket = sockets.last();

    const std::string frame = audioDeltaFrame(static_cast<size_t>(state.range(0)));

    for (auto _ : state) socket.receiveText(frame);

    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
// 20 ms, 100 ms and 500 ms of 24 kHz mono Int16 per delta.
BENCHMARK(BM_AudioDeltaHandled)->Arg(960)->Arg(4800)->Arg(24000);

} // namespace

BENCHMARK_MAIN();
