#include "voice_activity_detector.h"

#include "fakes/pcm_signals.h"

#include <gtest/gtest.h>

namespace twk::server {
namespace {

using test::noisePcm;
using test::silencePcm;
using test::speechLikePcm;
using Kind = VadEvent::Kind;

std::vector<VadEvent> run(const std::string& pcm, size_t chunkBytes = 4800)
{
    VoiceActivityDetector vad;
    std::vector<VadEvent> events;
    for (size_t at = 0; at < pcm.size(); at += chunkBytes) {
        const auto more = vad.push(std::string_view(pcm).substr(at, chunkBytes));
        events.insert(events.end(), more.begin(), more.end());
    }
    return events;
}

TEST(VoiceActivityDetector, OneUtteranceGivesOneStartAndOneStopAtItsEdges)
{
    // Two words with a short pause between them, in a quiet room.
    const std::string pcm = noisePcm(500, 0.001) + speechLikePcm(700) + noisePcm(250, 0.001, 8) + speechLikePcm(400) +
                            noisePcm(1000, 0.001, 9);
    const auto events = run(pcm);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, Kind::speechStarted);
    EXPECT_NEAR(double(events[0].atMs), 500, 20);
    EXPECT_EQ(events[1].kind, Kind::speechStopped);
    EXPECT_NEAR(double(events[1].atMs), 1850, 20);
}

TEST(VoiceActivityDetector, ClicksAndQuietNoiseAreNotSpeech)
{
    EXPECT_TRUE(run(noisePcm(3000, 0.003)).empty());                                // about -50 dBFS
    EXPECT_TRUE(run(silencePcm(300) + speechLikePcm(60) + silencePcm(1000)).empty()); // shorter than the onset
}

TEST(VoiceActivityDetector, LoudNoiseCountsAsSpeechUntilTheHangoverPasses)
{
    // Just over a hangover's worth of silence splits the turn; just under does not.
    const auto split = run(speechLikePcm(300) + silencePcm(640) + speechLikePcm(300) + silencePcm(700));
    ASSERT_EQ(split.size(), 4u);
    EXPECT_EQ(split[2].kind, Kind::speechStarted);
    const auto joined = run(speechLikePcm(300) + silencePcm(560) + speechLikePcm(300) + silencePcm(700));
    EXPECT_EQ(joined.size(), 2u);
    EXPECT_EQ(run(noisePcm(400, 0.1) + silencePcm(700)).size(), 2u);
}

TEST(VoiceActivityDetector, HowTheAudioIsCutDoesNotChangeTheVerdict)
{
    const std::string pcm = silencePcm(333) + speechLikePcm(777) + silencePcm(900);
    const auto whole = run(pcm, pcm.size());
    ASSERT_EQ(whole.size(), 2u);
    for (size_t chunk : {1u, 7u, 961u}) {
        const auto cut = run(pcm, chunk);
        ASSERT_EQ(cut.size(), whole.size()) << chunk;
        for (size_t i = 0; i < cut.size(); ++i) {
            EXPECT_EQ(cut[i].kind, whole[i].kind);
            EXPECT_EQ(cut[i].atMs, whole[i].atMs);
        }
    }
    VoiceActivityDetector vad;
    vad.push(std::string(4801, '\0'));
    EXPECT_EQ(vad.positionMs(), 100); // the odd byte waits for its partner
}

} // namespace
} // namespace twk::server
