// Server audio handled by the realtime client on one thread: each iteration
// is one "response.output_audio.delta" text frame parsed, Base64-decoded and
// delivered as an event. A live stream brings about 50 per second.

#include "common/base64.h"
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

    std::vector<std::uint8_t> pcm(static_cast<size_t>(state.range(0)));
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 31);
    const std::string frame =
        nlohmann::json{{"type", "response.output_audio.delta"}, {"response_id", "resp_1"}, {"item_id", "item_1"},
                       {"output_index", 0}, {"content_index", 0}, {"delta", base64Encode(pcm)}}
            .dump();

    for (auto _ : state) socket.receiveText(frame);

    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
// 20 ms, 100 ms and 500 ms of 24 kHz mono Int16 per delta.
BENCHMARK(BM_AudioDeltaHandled)->Arg(960)->Arg(4800)->Arg(24000);

} // namespace

BENCHMARK_MAIN();
