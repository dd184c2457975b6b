#include "common/log.h"
#include "integration/audio/sound_server.h"
#include "integration/audio/service_probes.h"
#include "fakes/memory_settings.h"
#include "platform/linux/pulse_audio_system.h"
#include "platform/linux/qt_main_loop.h"
#include "voice/audio_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

namespace twk::test {
namespace {

using namespace std::chrono_literals;

double peak(const std::vector<std::int16_t>& samples)
{
    int best = 0;
    for (auto s : samples) best = std::max(best, std::abs(static_cast<int>(s)));
    return best / 32768.0;
}

struct MicLayout {
    const char* name;
    const char* format;
    int rate;
    int channels;
    const char* description;
};

void PrintTo(const MicLayout& layout, std::ostream* os)
{
    *os << layout.name;
}

class CaptureFromEveryLayout : public ::testing::TestWithParam<MicLayout> {};

TEST_P(CaptureFromEveryLayout, ChunksCarryTheSpokenWordsInTheWireFormat)
{
    const MicLayout layout = GetParam();
    if (std::string(layout.name) != "vmic") addVirtualMic(layout.name, layout.format, layout.rate, layout.channels);
    const Speech& spoken = speech();
    QtMainLoop loop;
    MemorySettings settings;
    settings.setString(AudioService::micDeviceKey, layout.name);
    PulseAudioSystem system;
    auto audio = AudioService::create(system, settings, loop);
    Chunks received;
    received.attach(*audio);
    Logs logs;

    const auto started = std::chrono::steady_clock::now();
    audio->startCapture();
    std::this_thread::sleep_for(300ms);
    const auto beforeSpeech = received.samples();
    feedMic(spoken.wavPath);
    std::this_thread::sleep_for(300ms);
    audio->stopCapture();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    EXPECT_EQ(logs.containing(std::string("(") + layout.name + ")").size(), 1u);
    EXPECT_EQ(logs.containing("[twk] capture format: ").size(), 1u) << "one converter for one source format";
    EXPECT_EQ(logs.containing(std::string("[twk] capture format: ") + layout.description).size(), 1u);

    const auto all = received.samples();
    {
        std::lock_guard lock(received.mutex);
        ASSERT_GT(received.chunks.size(), 20u);
        for (const auto& c : received.chunks) EXPECT_EQ(c.size() % 2, 0u);
        // One chunk per captured buffer, not one per second nor one per sample.
        const double perChunkMs = elapsed * 1000 / static_cast<double>(received.chunks.size());
        EXPECT_GT(perChunkMs, 2);
        EXPECT_LT(perChunkMs, 120);
        for (const auto& name : received.threadNames) EXPECT_EQ(name, "com.tarnwick.ca");
    }
    // The wire rate: 24000 frames a second of capture.
    EXPECT_NEAR(static_cast<double>(all.size()) / 24000.0, elapsed, 0.35);
    EXPECT_LT(peak(beforeSpeech), 0.01) << "the microphone was silent before the speech";
    EXPECT_GT(peak(all), 0.2);
    EXPECT_GT(bestCorrelation(envelope(all), envelope(spoken.wire)), 0.9);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CaptureFromEveryLayout,
    ::testing::Values(MicLayout{"vmic", "s16le", 44100, 1, "1 ch, 44100 Hz, Int16, interleaved"},
                      MicLayout{"vmic_f48", "float32le", 48000, 2, "2 ch, 48000 Hz, Float32, interleaved"},
                      MicLayout{"vmic_s32", "s32le", 48000, 2, "2 ch, 48000 Hz, Int32, interleaved"},
                      MicLayout{"vmic_s24", "s24le", 16000, 1, "1 ch, 16000 Hz, Int32, interleaved"}),
    [](const auto& layoutInfo) { return std::string(layoutInfo.param.name); });

} // namespace
} // namespace twk::test
