#include "audio_append_scan.h"
#include "common/base64.h"
#include "json_input.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace twk::server {
namespace {

class AudioAppendScanTest : public ::testing::Test {
protected:
    std::string pick(std::initializer_list<const char*> options)
    {
        auto it = options.begin();
        std::advance(it, rng() % options.size());
        return *it;
    }

    std::string base64Of(size_t maxBytes)
    {
        std::vector<std::uint8_t> pcm(rng() % maxBytes);
        for (auto& b : pcm) b = static_cast<std::uint8_t>(rng());
        return base64Encode(pcm);
    }

    std::string randomMember()
    {
        switch (rng() % 8) {
        case 0: return "\"type\":" + pick({"\"input_audio_buffer.append\"", "\"response.create\"", "7", "null"});
        case 1: return "\"audio\":" + pick({"42", "null", "\"\\u0041AAA\"", "\"AA AA\"", "[\"AAAA\"]"});
        case 2: return "\"event_id\":" + pick({"\"ev_1\"", "\"caf\xc3\xa9\"", "\"a\\\"b\"", "1.5", "-0", "01", "{}"});
        case 3: return "\"x\":" + pick({"{\"a\":[1,{\"b\":null}],\"c\":{}}", "[]", "[1,]", "true", "tru"});
        default: return "\"audio\":\"" + base64Of(200) + pick({"\"", "\"", "=\"", "\\/\""});
        }
    }

    std::string randomFrame()
    {
        std::vector<std::string> members;
        if (rng() % 4) members.push_back("\"type\":\"input_audio_buffer.append\"");
        if (rng() % 4) members.push_back("\"audio\":\"" + base64Of(400) + "\"");
        for (size_t extra = rng() % 3; extra > 0; --extra) members.push_back(randomMember());
        std::shuffle(members.begin(), members.end(), rng);
        std::string frame = pick({"{", "{", " {", "[", "\xef\xbb\xbf{"});
        for (size_t i = 0; i < members.size(); ++i) frame += (i ? pick({",", ",", " ,\n", ",,"}) : "") + members[i];
        frame += pick({"}", "}", "} ", "}x", ""});
        if (rng() % 8 == 0 && !frame.empty()) frame[rng() % frame.size()] = static_cast<char>(rng());
        return frame;
    }

    std::mt19937 rng{50};
};

TEST_F(AudioAppendScanTest, BuildsTheSameDocumentAsTheGeneralParserOrLeavesTheFrameToIt)
{
    int scanned = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::string frame = randomFrame();
        const auto append = scanAudioAppend(frame);
        if (!append) continue;
        ++scanned;
        const JsonInput reference = parseJsonInput(frame);
        ASSERT_TRUE(reference.ok()) << frame;
        ASSERT_EQ(*append, reference.value) << frame;
        ASSERT_EQ(reference.value["type"], "input_audio_buffer.append") << frame;
    }
    EXPECT_GT(scanned, 10000);
}

TEST_F(AudioAppendScanTest, StrictBase64IsDecodedToTheBytesQtWouldGive)
{
    std::vector<std::uint8_t> strict;
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text = base64Of(300);
        if (i % 2 == 1 && !text.empty()) text[rng() % text.size()] = static_cast<char>(rng());
        if (!base64DecodeInto(text, strict)) continue;
        ++accepted;
        const auto qt = QByteArray::fromBase64Encoding(QByteArray(text.data(), qsizetype(text.size())),
                                                       QByteArray::AbortOnBase64DecodingErrors);
        ASSERT_TRUE(qt) << text;
        ASSERT_EQ(QByteArray(reinterpret_cast<const char*>(strict.data()), qsizetype(strict.size())), qt.decoded)
            << text;
    }
    EXPECT_GT(accepted, 10000);
}

} // namespace
} // namespace twk::server
