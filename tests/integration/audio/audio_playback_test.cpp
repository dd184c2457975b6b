#include "integration/audio/service_probes.h"
#include "integration/audio/sound_server.h"
#include "fakes/memory_settings.h"
#include "platform/linux/pulse_audio_system.h"
#include "platform/linux/qt_main_loop.h"
#include "voice/audio_service.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <thread>

namespace twk::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// `ms` milliseconds of a 440 Hz tone at half scale, in the wire format.
AudioService::Bytes tone(int ms)
{
    const int frames = ms * 24;
    AudioService::Bytes bytes;
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(16384 * std::sin(2 * M_PI * 440.0 * i / 24000.0));
        bytes.push_back(static_cast<std::uint8_t>(v & 0xff));
        bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    }
    return bytes;
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Speaker : ::testing::Test {
    QtMainLoop loop;
    MemorySettings settings;
    PulseAudioSystem system;
    std::shared_ptr<AudioService> audio = AudioService::create(system, settings, loop);
    std::vector<Clock::time_point> drained;

    void SetUp() override
    {
        audio->onPlaybackDrained = [this] { drained.push_back(Clock::now()); };
    }
    void waitForDrains(std::size_t count)
    {
        ASSERT_TRUE(spinUntil([&] { return drained.size() >= count; }, 10s));
        spinUntil([] { return false; }, 300ms); // time for a stray extra call to show
    }
};

TEST_F(Speaker, PlayedChunksReachTheOutputAndDrainJustAfterTheLastOneIsHeard)
{
    Recorder speaker(system, "spk.monitor");
    std::this_thread::sleep_for(200ms);

    for (int i = 0; i < 3; ++i) audio->play(tone(200));
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 3);
    waitForDrains(1);
    ASSERT_EQ(drained.size(), 1u) << "one drained call, after the third chunk";
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);
    auto end = speaker.lastLoud(0.05f);
    ASSERT_TRUE(end) << "nothing reached the output";
    // All three chunks, each once: 600 ms of tone, 94 % of whose samples pass the threshold.
    EXPECT_NEAR(speaker.loudSeconds(0.05f), 0.6 * 0.94, 0.05);
    const double late = msBetween(*end, drained[0]);
    std::fprintf(stderr, "drained %.1f ms after the end was heard\n", late);
    EXPECT_GE(late, -12.0) << "drained before the audio was heard";
    EXPECT_LE(late, 100.0);

    // The output ran dry in between; the next chunk starts it again.
    audio->play(tone(100));
    waitForDrains(2);
    ASSERT_EQ(drained.size(), 2u);
    end = speaker.lastLoud(0.05f);
    ASSERT_TRUE(end);
    EXPECT_NEAR(speaker.loudSeconds(0.05f), 0.7 * 0.94, 0.05);
    const double lateAgain = msBetween(*end, drained[1]);
    std::fprintf(stderr, "drained %.1f ms after the end was heard\n", lateAgain);
    EXPECT_GE(lateAgain, -12.0);
    EXPECT_LE(lateAgain, 100.0);
}

TEST_F(Speaker, StopPlaybackSilencesTheOutputAndLaterChunksPlayAtOnce)
{
    Clock::time_point stoppedAt;
    {
        Recorder speaker(system, "spk.monitor");
        std::this_thread::sleep_for(200ms);
        for (int i = 0; i < 10; ++i) audio->play(tone(200));
        spinUntil([] { return false; }, 400ms);
        stoppedAt = Clock::now();
        audio->stopPlayback();
        EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);
        spinUntil([] { return false; }, 500ms);
        const auto end = speaker.lastLoud(0.05f);
        ASSERT_TRUE(end);
        EXPECT_LT(msBetween(stoppedAt, *end), 150.0) << "the dropped chunks kept playing";
        EXPECT_LT(speaker.loudSeconds(0.05f), 0.6);
    }
    EXPECT_EQ(drained.size(), 1u) << "stopping with chunks pending says the speaker fell silent, once";

    Recorder speaker(system, "spk.monitor");
    std::this_thread::sleep_for(100ms);
    const auto playedAt = Clock::now();
    audio->play(tone(300));
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 1);
    waitForDrains(2);
    ASSERT_EQ(drained.size(), 2u) << "completions of dropped chunks must not end the new one early";
    const auto end = speaker.lastLoud(0.05f);
    ASSERT_TRUE(end);
    EXPECT_NEAR(speaker.loudSeconds(0.05f), 0.3 * 0.94, 0.04);
    EXPECT_LT(msBetween(playedAt, *end), 300.0 + 200.0) << "the chunk did not start at once";
    EXPECT_GE(msBetween(*end, drained[1]), -12.0);
    EXPECT_LE(msBetween(*end, drained[1]), 100.0);
}

TEST_F(Speaker, MovingPlaybackToAnotherOutputIsLoggedAndTheSpeechStillDrains)
{
    Logs logs;
    for (int i = 0; i < 5; ++i) audio->play(tone(200));
    // The user picks another output in the desktop's sound settings.
    const std::string inputs = runTool("/usr/bin/pactl", {"list", "short", "sink-inputs"});
    const std::string index = inputs.substr(0, inputs.find_first_of(" \t"));
    ASSERT_FALSE(index.empty()) << inputs;
    runTool("/usr/bin/pactl", {"move-sink-input", index, "micfeed"});
    waitForDrains(1);
    EXPECT_EQ(drained.size(), 1u);
    EXPECT_EQ(logs.containing("[twk] playback engine config changed (will restart on next play)").size(), 1u);
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);
}

} // namespace
} // namespace twk::test
