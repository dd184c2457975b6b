#include "common/error.h"
#include "fakes/memory_settings.h"
#include "integration/audio/service_probes.h"
#include "integration/audio/sound_server.h"
#include "platform/linux/pulse_audio_system.h"
#include "platform/linux/qt_main_loop.h"
#include "voice/audio_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace twk::test {
namespace {

using namespace std::chrono_literals;

bool listed(const std::vector<AudioService::MicDevice>& mics, const std::string& id)
{
    return std::any_of(mics.begin(), mics.end(), [&](const auto& m) { return m.uniqueID == id && !m.name.empty(); });
}

double peakOf(Chunks& chunks)
{
    int best = 0;
    for (auto s : chunks.samples()) best = std::max(best, std::abs(static_cast<int>(s)));
    return best / 32768.0;
}

/// Plays the speech into the virtual microphone, with some time around it.
void speakIntoTheMic()
{
    std::this_thread::sleep_for(200ms);
    feedMic(speech().wavPath);
    std::this_thread::sleep_for(300ms);
}

TEST(AudioDevices, TheListShowsOnlyMicrophonesAndWithoutAChoiceTheServersDefaultIsCaptured)
{
    // A second microphone that hears only the (silent) speaker, made the
    // server's default, so the speech reaches only "vmic".
    runTool("/usr/bin/pactl", {"load-module", "module-remap-source", "source_name=quietmic", "master=spk.monitor",
                               "channels=1"});
    runTool("/usr/bin/pactl", {"set-default-source", "quietmic"});
    QtMainLoop loop;
    MemorySettings settings;
    PulseAudioSystem system;
    auto audio = AudioService::create(system, settings, loop);

    const auto mics = audio->availableMics();
    EXPECT_TRUE(listed(mics, "vmic"));
    EXPECT_TRUE(listed(mics, "quietmic"));
    EXPECT_FALSE(listed(mics, "spk.monitor")) << "an output's monitor is no microphone";
    EXPECT_FALSE(listed(mics, "micfeed.monitor"));

    Chunks fromDefault;
    fromDefault.attach(*audio);
    Logs logs;
    audio->startCapture();
    speakIntoTheMic();
    audio->stopCapture();
    EXPECT_EQ(logs.containing("(quietmic)").size(), 1u) << "no choice: the server's default input";
    EXPECT_GT(fromDefault.samples().size(), 24000u);
    EXPECT_LT(peakOf(fromDefault), 0.01);
}

/// Points the client library at a server that is not there, for one scope.
class NoSoundServer {
public:
    NoSoundServer()
    {
        if (const char* v = std::getenv("PULSE_SERVER")) saved_ = v;
        setenv("PULSE_SERVER", "unix:/nonexistent/pulse-native", 1);
    }
    ~NoSoundServer()
    {
        if (saved_)
            setenv("PULSE_SERVER", saved_->c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }

private:
    std::optional<std::string> saved_;
};

TEST(AudioDevices, WithoutASoundServerCaptureFailsClearlyAndPlaybackDoesNotHang)
{
    NoSoundServer noServer;
    QtMainLoop loop;
    MemorySettings settings;
    PulseAudioSystem system;
    auto audio = AudioService::create(system, settings, loop);
    Logs logs;

    EXPECT_TRUE(audio->availableMics().empty());
    try {
        audio->startCapture();
        ADD_FAILURE() << "capture started without a sound server";
    } catch (const Error& e) {
        EXPECT_EQ(e, Error("twk.audio", -1, "no audio input device"));
    }
    EXPECT_FALSE(audio->capturing());

    int drained = 0;
    audio->onPlaybackDrained = [&] { ++drained; };
    audio->play(AudioService::Bytes(4800, 0));
    EXPECT_EQ(logs.containing("[twk] play: engine.start failed: ").size(), 1u);
    // A chunk that cannot be heard must not keep the session waiting for it.
    EXPECT_TRUE(spinUntil([&] { return drained == 1; }, 2s));
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);
}

} // namespace
} // namespace twk::test
