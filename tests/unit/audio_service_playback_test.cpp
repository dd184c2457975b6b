#include "audio_service_fixture.h"

namespace twk::test {
namespace {

AudioService::Bytes samples16(std::initializer_list<std::int16_t> values)
{
    AudioService::Bytes bytes;
    for (auto v : values) {
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
    }
    return bytes;
}

class AudioPlaybackTest : public AudioServiceTest {
protected:
    int drained = 0;
    FakeAudioSystem::OutputState& out() { return *system.output; }

    void SetUp() override
    {
        AudioServiceTest::SetUp();
        audio->onPlaybackDrained = [this] {
            EXPECT_TRUE(loop.isMainThread());
            ++drained;
        };
    }
};

TEST_F(AudioPlaybackTest, ChunksAreScaledToFloatAndAnOddTrailingByteIsIgnored)
{
    audio->play(AudioService::Bytes{0x7f});
    EXPECT_TRUE(out().scheduled.empty());
    EXPECT_EQ(out().starts, 0) << "nothing to play, nothing started";

    auto bytes = samples16({16384, -32768, 32767, 0, -1});
    bytes.push_back(0x55);
    audio->play(bytes);
    ASSERT_EQ(out().scheduled.size(), 1u);
    EXPECT_EQ(out().scheduled[0], (std::vector<float>{0.5f, -1.0f, 32767.0f / 32768.0f, 0.0f, -1.0f / 32768.0f}));

    audio->play(AudioService::Bytes(4800, 0));
    EXPECT_EQ(out().scheduled[1].size(), 2400u) << "100 ms";
}

TEST_F(AudioPlaybackTest, TheOutputStartsOnDemandAndAgainAfterCaptureStopped)
{
    audio->startCapture();
    audio->play(samples16({1, 2}));
    audio->play(samples16({3, 4}));
    EXPECT_EQ(out().starts, 1);
    audio->stopCapture();
    EXPECT_FALSE(out().running) << "stopping capture stops playback too";
    audio->play(samples16({5}));
    EXPECT_EQ(out().starts, 2);
    EXPECT_EQ(out().scheduled.size(), 1u);
}

TEST_F(AudioPlaybackTest, ThreeChunksPlayedInTurnDrainOnceAfterTheThird)
{
    for (int i = 0; i < 3; ++i) audio->play(AudioService::Bytes(4800, 1));
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 3);
    out().finishNext();
    out().finishNext();
    loop.runPosted();
    EXPECT_EQ(drained, 0);
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 1);
    out().finishNext();
    EXPECT_EQ(drained, 0) << "delivered on the main loop, not on the output's thread";
    loop.runPosted();
    EXPECT_EQ(drained, 1);
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);
}

TEST_F(AudioPlaybackTest, StopPlaybackDropsPendingChunksAndLateCompletionsCountForNothing)
{
    for (int i = 0; i < 3; ++i) audio->play(AudioService::Bytes(480, 1));
    out().finishNext();
    audio->stopPlayback();
    EXPECT_EQ(out().resets, 1);
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);
    loop.runPosted();
    EXPECT_EQ(drained, 1) << "the speaker fell silent";

    audio->play(AudioService::Bytes(480, 1));
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 1);
    for (auto& late : out().dropped) late(); // completions of dropped chunks arriving late
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 1) << "the new chunk is still playing";
    loop.runPosted();
    EXPECT_EQ(drained, 1);
    out().finishNext();
    loop.runPosted();
    EXPECT_EQ(drained, 2);
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);

    audio->stopPlayback(); // nothing pending: nothing to report
    loop.runPosted();
    EXPECT_EQ(drained, 2);
}

TEST_F(AudioPlaybackTest, StoppingCaptureMidSpeechStillReportsTheSpeakerSilent)
{
    audio->startCapture();
    audio->play(AudioService::Bytes(480, 1));
    audio->stopCapture();
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);
    loop.runPosted();
    EXPECT_EQ(drained, 1);
}

TEST_F(AudioPlaybackTest, AnOutputThatWillNotStartIsLoggedAndItsChunksStillDrain)
{
    out().startFails = true;
    audio->play(AudioService::Bytes(480, 1));
    EXPECT_EQ(linesStartingWith("[twk] play: engine.start failed: "),
              std::vector<std::string>{"[twk] play: engine.start failed: no output device"});
    EXPECT_EQ(audio->pendingPlaybackBuffers(), 0);
    loop.runPosted();
    EXPECT_EQ(drained, 1);
}

TEST_F(AudioPlaybackTest, ADeviceChangeIsLoggedOnTheMainLoop)
{
    ASSERT_TRUE(out().onConfigurationChange);
    out().onConfigurationChange();
    EXPECT_TRUE(linesStartingWith("[twk] playback engine").empty());
    loop.runPosted();
    EXPECT_EQ(linesStartingWith("[twk] playback engine config changed (will restart on next play)").size(), 1u);
}

TEST_F(AudioPlaybackTest, ACompletionAfterTheServiceIsGoneDoesNothing)
{
    audio->play(AudioService::Bytes(480, 1));
    auto completion = std::move(out().completions.front());
    out().completions.clear();
    audio.reset();
    completion();
    loop.runPosted();
    EXPECT_EQ(drained, 0);
}

} // namespace
} // namespace twk::test
