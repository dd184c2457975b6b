#include "common/base64.h"
#include "voice/audio_delta_scan.h"
#include "voice/realtime_decoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

namespace twk {
namespace {

using nlohmann::json;
using realtime::AudioDeltaScan;

// What the document path makes of a frame: nullopt when it is not an audio
// delta at all, an empty optional inside when the delta is ignored.
std::optional<std::optional<std::vector<std::uint8_t>>> documentPath(std::string_view frame)
{
    const json message = json::parse(frame, nullptr, false);
    const std::string* type = realtime::stringField(message, "type");
    if (!type || (*type != "response.output_audio.delta" && *type != "response.audio.delta")) return std::nullopt;
    const std::string* delta = realtime::stringField(message, "delta");
    if (!delta) return std::optional<std::vector<std::uint8_t>>();
    return base64Decode(*delta);
}

class AudioDeltaScanTest : public ::testing::Test {
protected:
    // Checks one frame and returns whether the scanner decided it itself.
    bool agrees(const std::string& frame)
    {
        std::vector<std::uint8_t> audio;
        const AudioDeltaScan scan = realtime::scanAudioDelta(frame, audio);
        if (scan == AudioDeltaScan::notHandled) return false;
        const auto reference = documentPath(frame);
        EXPECT_TRUE(reference.has_value()) << frame;
        if (!reference) return true;
        EXPECT_EQ(scan == AudioDeltaScan::decoded, reference->has_value()) << frame;
        if (scan == AudioDeltaScan::decoded && reference->has_value()) {
            EXPECT_EQ(audio, **reference) << frame;
        }
        ++decided;
        return true;
    }

    std::string pick(std::initializer_list<const char*> options)
    {
        auto it = options.begin();
        std::advance(it, rng() % options.size());
        return *it;
    }

    std::string randomDelta()
    {
        std::vector<std::uint8_t> pcm(rng() % 200);
        for (auto& b : pcm) b = static_cast<std::uint8_t>(rng());
        std::string text = base64Encode(pcm);
        switch (rng() % 8) {
        case 0: return "\"" + text + "\\/\"";
        case 1: return "\"" + text + "!\"";
        case 2: return pick({"42", "null", "true", "[\"AAAA\"]", "{\"a\":\"AAAA\"}", "\"\\u0041AAA\""});
        case 3: return "\"" + text + " \"";
        default: return "\"" + text + "\"";
        }
    }

    std::string randomMember()
    {
        switch (rng() % 12) {
        case 0: return "\"type\":\"" + pick({"response.output_audio.delta", "response.audio.delta"}) + "\"";
        case 1: return "\"type\":" + pick({"\"response.done\"", "3", "\"response.audio.deltas\"", "null"});
        case 2: return "\"typ\\u0065\":\"response.audio.delta\"";
        case 3: return "\"delta\":" + randomDelta();
        case 4: return "\"item_id\":" + pick({"\"item_1\"", "\"caf\xc3\xa9\"", "\"bad\xff\"", "\"a\\\"b\"", "\"\t\""});
        case 5: return "\"output_index\":" + pick({"0", "-1", "1.5", "1e999", "01", "123456789012345678901", "-"});
        case 6: return "\"x\":" + pick({"{\"a\":[1,{\"b\":null}],\"c\":{}}", "[]", "[1,]", "{\"a\":}", "false", "tru"});
        default: return "\"delta\":\"" + base64Encode(std::vector<std::uint8_t>(rng() % 64, 7)) + "\"";
        }
    }

    std::string randomFrame()
    {
        std::vector<std::string> members;
        if (rng() % 4) members.push_back("\"type\":\"response.output_audio.delta\"");
        if (rng() % 4) members.push_back("\"delta\":" + randomDelta());
        for (size_t extra = rng() % 3; extra > 0; --extra) members.push_back(randomMember());
        std::shuffle(members.begin(), members.end(), rng);
        std::string frame = pick({"{", "{", "{", " {", "\xef\xbb\xbf{", "[", "\"", "{\n"});
        for (size_t i = 0; i < members.size(); ++i)
            frame += (i ? pick({",", ",", ",", " , ", ",,"}) : "") + members[i];
        frame += pick({"}", "}", "}", "} ", "}\n", "}x", "}}", "", "]"});
        switch (rng() % 8) {
        case 0: frame.resize(rng() % (frame.size() + 1)); break;
        case 1: if (!frame.empty()) frame[rng() % frame.size()] = static_cast<char>(rng()); break;
        default: break;
        }
        return frame;
    }

    std::mt19937 rng{23};
    int decided = 0;
};

TEST_F(AudioDeltaScanTest, DecidesOrdinaryDeltasItselfWithTheDocumentPathsBytes)
{
    std::vector<std::uint8_t> pcm(4800);
    for (auto& b : pcm) b = static_cast<std::uint8_t>(rng());
    const std::string frame = json{{"type", "response.output_audio.delta"}, {"response_id", "resp_1"},
                                   {"output_index", 0}, {"delta", base64Encode(pcm)}}
                                  .dump();
    EXPECT_TRUE(agrees(frame));
    EXPECT_TRUE(agrees(R"({"type":"response.audio.delta","delta":"not base64!"})"));
    EXPECT_TRUE(agrees(R"({"delta":7,"type":"response.audio.delta"})"));
}

TEST_F(AudioDeltaScanTest, AgreesWithTheDocumentPathOnTheFuzzCorpusAndRandomFrames)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TWK_FUZZ_CORPUS_DIR)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        std::string line;
        while (std::getline(file, line)) agrees(line);
    }
    for (int i = 0; i < 200000; ++i) agrees(randomFrame());
    // The generator must reach both outcomes, or the comparison proves little.
    EXPECT_GT(decided, 10000);
}

} // namespace
} // namespace twk
