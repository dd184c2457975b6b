// CPU used by the microphone path while listening to a quiet room: capture
// on the sound server's default input, conversion to the wire format and
// hand-over of each chunk, for several seconds. Run it where a sound server
// is up, e.g. inside the test desktop:
//   tests/harness/desktop.sh --audio build/default/bench/capture_idle_cpu [SECONDS [SOURCE]]
// SOURCE is a sound-server source name to capture from instead of the default.
// Prints the CPU time of the whole process (all threads) as a share of one core.

#include "platform/linux/pulse_audio_system.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/qt_settings.h"
#include "voice/audio_service.h"

#include <QCoreApplication>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace twk;
    const double duration = argc > 1 ? std::atof(argv[1]) : 10.0;
    QCoreApplication app(argc, argv);
    QtMainLoop loop;
    QtSettings settings; // the user's microphone choice, as the application reads it
    PulseAudioSystem system;
    if (argc > 2) settings.setString(AudioService::micDeviceKey, argv[2]);
    auto audio = AudioService::create(system, settings, loop);
    std::atomic<long> chunks{0}, bytes{0};
    audio->setOnAudioIn([&](AudioService::Bytes chunk) {
        ++chunks;
        bytes += static_cast<long>(chunk.size());
    });

    try {
        audio->startCapture();
    } catch (const Error& e) {
        std::fprintf(stderr, "capture_idle_cpu: %s\n", e.description().c_str());
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // past start-up
    const long chunksBefore = chunks.load();
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(duration));
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const long measuredChunks = chunks.load() - chunksBefore;
    audio->stopCapture();

    std::printf("captured %.1f s: %ld chunks (%.1f ms each), %.1f s of wire audio in total\n", wall, measuredChunks,
                wall * 1000 / static_cast<double>(std::max(measuredChunks, 1L)), static_cast<double>(bytes) / 48000.0);
    std::printf("cpu %.3f s = %.2f %% of one core\n", cpu, 100.0 * cpu / wall);
    return 0;
}
