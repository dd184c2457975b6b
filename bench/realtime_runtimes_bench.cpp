// Audio-delta frames handled by the realtime client beside Python
// (json.loads + base64.b64decode) and Node (JSON.parse + Buffer.from) doing
// the same work on the same frames, in one run. Each figure is the best of
// three rounds, in frames per second on one thread. The interpreters are
// skipped when they are not on PATH.

#include "audio_delta_frame.h"
#include "temp_folder.h"
#include "fakes/fake_websocket.h"
#include "voice/realtime_client.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace twk;

namespace {

constexpr int kRounds = 3;
constexpr double kRoundSeconds = 0.5;

constexpr const char* kPythonScript = R"(import base64, json, sys, time
frame = open(sys.argv[1]).read()
n = int(sys.argv[2])
best = 0.0
total = 0
for _ in range(3):
    start = time.perf_counter()
    for _ in range(n):
        message = json.loads(frame)
        if message.get("type") == "response.output_audio.delta":
            total += len(base64.b64decode(message["delta"]))
    best = max(best, n / (time.perf_counter() - start))
open(sys.argv[3], "w").write(repr(best) if total else "0")
)";

constexpr const char* kNodeScript = R"(const fs = require("fs");
const frame = fs.readFileSync(process.argv[2], "utf8");
const n = Number(process.argv[3]);
let best = 0, total = 0;
for (let round = 0; round < 3; ++round) {
  const start = process.hrtime.bigint();
  for (let i = 0; i < n; ++i) {
    const message = JSON.parse(frame);
    if (message.type === "response.output_audio.delta") total += Buffer.from(message.delta, "base64").length;
  }
  best = Math.max(best, n / (Number(process.hrtime.bigint() - start) / 1e9));
}
fs.writeFileSync(process.argv[4], total ? String(best) : "0");
)";

double clientFramesPerSecond(const std::string& frame)
{
    test::FakeWebSocketFactory sockets;
    auto client = RealtimeClient::create(sockets, "ws://127.0.0.1:1", "", nlohmann::json::array(), "v", {"audio"});
    size_t bytes = 0;
    client->onEvent = [&](RealtimeClient::Event e) {
        if (const auto* audio = std::get_if<realtime::AudioDelta>(&e)) bytes += audio->bytes.size();
    };
    client->connect("secret", "model");
    auto& socket = sockets.last();

    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        long frames = 0;
        double elapsed = 0;
        for (; elapsed < kRoundSeconds; elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()) {
            for (int i = 0; i < 1000; ++i) socket.receiveText(frame);
            frames += 1000;
        }
        best = std::max(best, static_cast<double>(frames) / elapsed);
    }
    if (bytes == 0) throw std::runtime_error("the client delivered no audio");
    return best;
}

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string_view rest(path);
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const fs::path dir(std::string(rest.substr(0, colon)));
        std::error_code ignored;
        if (!dir.empty() && fs::exists(dir / program, ignored)) return true;
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return false;
}

/// Runs `program script frameFile iterations resultFile` and reads the rate it wrote.
std::optional<double> interpreterFramesPerSecond(const std::string& program, const fs::path& script,
                                                 const fs::path& frameFile, long iterations, const fs::path& result)
{
    if (!onPath(program)) return std::nullopt;
    std::vector<std::string> args{program, script.string(), frameFile.string(), std::to_string(iterations),
                                  result.string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    std::ifstream in(result);
    double rate = 0;
    if (!(in >> rate) || rate <= 0) return std::nullopt;
    return rate;
}

void write(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

} // namespace

int main()
{
    try {
        TempFolder temp("realtime_runtimes_bench");
        write(temp.path / "delta.py", kPythonScript);
        write(temp.path / "delta.js", kNodeScript);
        for (const size_t audioBytes : {size_t{960}, size_t{4800}}) {
            const std::string frame = audioDeltaFrame(audioBytes);
            const fs::path frameFile = temp.path / "frame.json";
            write(frameFile, frame);
            const double native = clientFramesPerSecond(frame);
            std::printf("%5zu audio bytes (%zu-byte frame): C++ client %.0f frames/s\n", audioBytes, frame.size(),
                        native);
            // About a second per round for each interpreter.
            const long iterations = std::max(1000L, static_cast<long>(native / 10));
            for (const auto& [program, script] : {std::pair{"python3", "delta.py"}, std::pair{"node", "delta.js"}}) {
                const auto rate = interpreterFramesPerSecond(program, temp.path / script, frameFile, iterations,
                                                             temp.path / "result");
                if (rate)
                    std::printf("      %-7s %.0f frames/s, C++ is %.2fx\n", program, *rate, native / *rate);
                else
                    std::printf("      %-7s not available\n", program);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "realtime_runtimes_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
