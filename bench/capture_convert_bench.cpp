// Capture conversion throughput next to sox's on the same audio in the same
// run: 48 kHz float stereo noise and tone, converted to the wire format in
// 10 ms buffers by CaptureConverter, and file to file by sox. Figures are
// seconds of audio per second of CPU time ("x real time"); the best of
// several passes counts, since other work on a shared machine only ever
// slows a pass down.
//
//   capture_convert_bench [seconds of audio, default 60]

#include "temp_folder.h"
#include "voice/capture_converter.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace twk;
namespace fs = std::filesystem;

constexpr double sourceRate = 48000;
constexpr std::size_t bufferFrames = 480;
constexpr int converterPasses = 10;
constexpr int soxRuns = 5;

/// Interleaved stereo: a tone over deterministic noise, different per channel.
std::vector<float> noiseAndTone(std::size_t frames)
{
    std::vector<float> out(frames * 2);
    std::uint32_t state = 2026;
    for (std::size_t i = 0; i < out.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(state >> 8) / (1u << 24) - 0.5;
        const double t = static_cast<double>(i / 2) / sourceRate;
        out[i] = static_cast<float>(0.2 * noise + 0.5 * std::sin(2 * std::numbers::pi * (i % 2 == 0 ? 440 : 1250) * t));
    }
    return out;
}

double cpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

struct Timing {
    double cpu = 1e300;
    double wall = 1e300;
};

/// Converts the whole input in capture-sized buffers; returns the output size.
std::size_t convertOnce(const std::vector<float>& in, Timing& best)
{
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    CaptureConverter converter(PcmFormat{sourceRate, 2, SampleType::float32});
    std::size_t bytes = 0;
    for (std::size_t at = 0; at < in.size(); at += 2 * bufferFrames) {
        const auto result = converter.convert(in.data() + at, std::min(bufferFrames, (in.size() - at) / 2));
        if (!result.error.empty()) throw std::runtime_error("conversion failed: " + result.error);
        bytes += result.bytes.size();
    }
    best.cpu = std::min(best.cpu, cpuSeconds() - cpuStart);
    best.wall = std::min(best.wall,
                         std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
    return bytes;
}

/// Runs sox on `in`, adding its CPU time (user and system) to `best`.
void soxOnce(const fs::path& in, const fs::path& out, Timing& best)
{
    std::vector<std::string> args{"sox", "-t", "f32", "-r", "48000", "-c", "2", in.string(),
                                  "-t", "s16", "-r", "24000", "-c", "1", out.string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto wallStart = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (const int error = posix_spawnp(&pid, "sox", nullptr, nullptr, argv.data(), environ); error != 0)
        throw std::runtime_error("cannot start sox (scripts/deps.sh installs it): " + std::string(std::strerror(error)));
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) throw std::runtime_error("lost the sox process");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("sox failed");
    best.cpu = std::min(best.cpu, seconds(usage.ru_utime) + seconds(usage.ru_stime));
    best.wall = std::min(best.wall,
                         std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const double audioSeconds = argc > 1 ? std::stod(argv[1]) : 60.0;
        if (!(audioSeconds >= 1 && audioSeconds <= 3600)) throw std::invalid_argument("seconds: 1 to 3600");
        const auto frames = static_cast<std::size_t>(audioSeconds * sourceRate);
        const auto audio = noiseAndTone(frames);

        Timing ours;
        std::size_t ourBytes = 0;
        for (int i = 0; i < converterPasses; ++i) ourBytes = convertOnce(audio, ours);

        const TempFolder folder("capture_convert_bench");
        const fs::path in = folder.path / "in.raw", out = folder.path / "out.raw";
        {
            std::ofstream file(in, std::ios::binary);
            file.write(reinterpret_cast<const char*>(audio.data()),
                       static_cast<std::streamsize>(audio.size() * sizeof(float)));
            if (!file) throw std::runtime_error("cannot write " + in.string());
        }
        Timing sox;
        for (int i = 0; i < soxRuns; ++i) soxOnce(in, out, sox);
        const auto soxBytes = fs::file_size(out);

        std::printf("audio: %.0f s of 48 kHz float stereo; converter in %zu-frame buffers\n", audioSeconds,
                    bufferFrames);
        std::printf("converter: %8.0f x real time by CPU (%.0f by wall clock), best of %d; %zu bytes out\n",
                    audioSeconds / ours.cpu, audioSeconds / ours.wall, converterPasses, ourBytes);
        std::printf("sox:       %8.0f x real time by CPU (%.0f by wall clock), best of %d; %ju bytes out\n",
                    audioSeconds / sox.cpu, audioSeconds / sox.wall, soxRuns, static_cast<std::uintmax_t>(soxBytes));
        std::printf("ratio:     %8.1f (converter over sox, by CPU)\n", sox.cpu / ours.cpu);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "capture_convert_bench: %s\n", e.what());
        return 1;
    }
}
