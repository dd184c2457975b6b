#include "scenario.h"

#include "common/error.h"
#include "fakes/pcm_signals.h"
#include "wav_file.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

namespace twk::server {
namespace {

using nlohmann::json;

class ScenarioTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string base() const { return dir.path().toStdString(); }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(base() + "/" + name, std::ios::binary) << bytes;
    }
    std::string errorOf(const json& document) const
    {
        try {
            parseScenario(document, base());
        } catch (const Error& e) {
            return e.description();
        }
        return "(accepted)";
    }
};

TEST_F(ScenarioTest, ReadsEveryCueAndActionInBothSpellings)
{
    const std::string pcm = test::speechLikePcm(250);
    write("reply.wav", test::wavFile(pcm));
    const json document = json::parse(R"({
      "description": "a whole turn",
      "connections": [
        [
          {"on": "session.update", "send": {"type": "custom.ready"}},
          {"on": {"vad": "speech_stopped"}, "send": [{"type": "response.created"}, {"type": "response.done"}]},
          {"on": {"message": {"type": "conversation.item.create", "item": {"type": "function_call_output"}}}},
          {"comment": "speak", "audio": {"file": "reply.wav", "chunkMs": 50, "intervalMs": 20, "done": false}},
          {"on": {"delay": 0.25}, "close": {"code": 4000, "reason": "bye"}}
        ],
        [{"audio": "reply.wav"}, {"drop": true}]
      ]
    })");
    const Scenario s = parseScenario(document, base());
    ASSERT_EQ(s.connections.size(), 2u);
    const auto& first = s.stepsFor(1);
    ASSERT_EQ(first.size(), 5u);
    EXPECT_EQ(first[0].cue->pattern, json({{"type", "session.update"}}));
    EXPECT_EQ(first[0].action.events.at(0)["type"], "custom.ready");
    EXPECT_EQ(first[1].cue->kind, Cue::Kind::vad);
    EXPECT_EQ(first[1].cue->vad, VadEvent::Kind::speechStopped);
    EXPECT_EQ(first[1].action.events.size(), 2u);
    EXPECT_EQ(first[2].action.kind, Action::Kind::none);
    EXPECT_EQ(*first[3].action.pcm, pcm);
    EXPECT_EQ(first[3].action.chunkMs, 50);
    EXPECT_EQ(first[3].action.intervalMs, 20);
    EXPECT_FALSE(first[3].action.sendDone);
    EXPECT_EQ(first[4].cue->delay, std::chrono::milliseconds(250));
    EXPECT_EQ(first[4].action.closeCode, 4000);
    EXPECT_EQ(first[4].where, "connections[0][4]");
    // Later connections replay the last list.
    EXPECT_EQ(s.stepsFor(2)[1].action.kind, Action::Kind::drop);
    EXPECT_EQ(&s.stepsFor(7), &s.stepsFor(2));
    EXPECT_EQ(s.stepsFor(2)[0].action.chunkMs, 100);
    EXPECT_TRUE(s.stepsFor(2)[0].action.sendDone);
}

TEST_F(ScenarioTest, MistakesAreRefusedNamingTheStep)
{
    write("stereo.wav", test::wavFile(std::string(96, '\0'), 24000, 2));
    const std::pair<const char*, const char*> cases[] = {
        {R"([])", "a scenario is a JSON object"},
        {R"({"stepz": []})", "unknown key \"stepz\""},
        {R"({"steps": [{"send": {"no": "type"}}]})", "steps[0].send: an event is an object with a string \"type\""},
        {R"({"steps": [{}, {}]})", "steps[0]: a step needs a cue"},
        {R"({"steps": [{"send": {"type": "a"}, "drop": true}]})", "at most one action"},
        {R"({"steps": [{"on": {"vad": "loud"}}]})", "steps[0].on.vad"},
        {R"({"steps": [{"on": {"delay": -1}}]})", "steps[0].on.delay"},
        {R"({"steps": [{"on": {"message": 5}}]})", "steps[0].on.message"},
        {R"({"steps": [{"on": {"when": 1}}]})", "unknown cue"},
        {R"({"steps": [{"audio": "missing.wav"}]})", "cannot read"},
        {R"({"steps": [{"audio": "stereo.wav"}]})", "expected PCM 16-bit mono at 24000 Hz"},
        {R"({"steps": [{"audio": {"file": "stereo.wav", "chunkMs": 1}}]})", "chunkMs"},
        {R"({"steps": [{"close": 1006}]})", "cannot be sent in a close frame"},
        {R"({"connections": [[{"drop": true}], [{"drop": 1}]]})", "connections[1][0].drop: expected true"},
        {R"({"connections": []})", "non-empty"},
    };
    for (const auto& [document, expected] : cases)
        EXPECT_NE(errorOf(json::parse(document)).find(expected), std::string::npos)
            << document << " gave: " << errorOf(json::parse(document));
}

TEST(ScenarioCue, AMessageCueIsASubsetOfTheMessage)
{
    Cue cue;
    cue.pattern = json::parse(R"({"type": "conversation.item.create", "item": {"type": "function_call_output"}})");
    const json output = json::parse(
        R"({"type": "conversation.item.create", "item": {"type": "function_call_output", "call_id": "c1", "output": "{}"}})");
    const json image = json::parse(R"({"type": "conversation.item.create", "item": {"type": "message", "role": "user"}})");
    EXPECT_TRUE(cueMatches(cue, {output, std::nullopt}));
    EXPECT_FALSE(cueMatches(cue, {image, std::nullopt}));
    EXPECT_FALSE(cueMatches(cue, {json::parse(R"({"type": "conversation.item.create", "item": "x"})"), std::nullopt}));
    EXPECT_FALSE(cueMatches(cue, {std::nullopt, VadEvent::Kind::speechStopped}));

    Cue vad;
    vad.kind = Cue::Kind::vad;
    vad.vad = VadEvent::Kind::speechStopped;
    EXPECT_TRUE(cueMatches(vad, {std::nullopt, VadEvent::Kind::speechStopped}));
    EXPECT_FALSE(cueMatches(vad, {std::nullopt, VadEvent::Kind::speechStarted}));
    EXPECT_FALSE(cueMatches(vad, {output, std::nullopt}));
    // Arrays and scalars must be equal, not merely overlap.
    EXPECT_FALSE(jsonContains(json::parse("[1, 2]"), json::parse("[1]")));
    EXPECT_TRUE(jsonContains(json::parse(R"({"a": [1], "b": 2})"), json::parse(R"({"a": [1]})")));
}

TEST(WavFile, TakesTheSamplesOfWireFormatFilesOnly)
{
    const std::string pcm = test::speechLikePcm(40);
    EXPECT_EQ(pcm16MonoFromWav(test::wavFile(pcm)), pcm);
    // A streamed file whose data size was never filled in still plays what it holds.
    std::string streamed = test::wavFile(pcm);
    streamed.replace(40, 4, std::string(4, '\xff'));
    EXPECT_EQ(pcm16MonoFromWav(streamed), pcm);
    // Unknown chunks before the data are skipped.
    std::string withList = test::wavFile(pcm);
    withList.insert(36, std::string("LIST\x03\x00\x00\x00" "abc\x00", 12));
    EXPECT_EQ(pcm16MonoFromWav(withList), pcm);
    for (const std::string& bad : {test::wavFile(pcm, 48000), test::wavFile(pcm, 24000, 1, 8), std::string("RIFF....WAVE"),
                                   std::string("not a wav at all")})
        EXPECT_THROW(pcm16MonoFromWav(bad), Error);
}

} // namespace
} // namespace twk::server
