#include "common/base64.h"

#include <gtest/gtest.h>

#include <random>

namespace twk {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view s)
{
    return {s.begin(), s.end()};
}

TEST(Base64, MatchesTheStandardVectorsAndRoundTripsEveryLength)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64Encode(bytesOf(plain)), encoded);
        EXPECT_EQ(base64Decode(encoded), bytesOf(plain)) << encoded;
    }
    std::mt19937 rng(7);
    for (size_t n = 0; n < 300; ++n) {
        std::vector<std::uint8_t> data(n);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        EXPECT_EQ(base64Decode(base64Encode(data)), data) << n;
    }
    EXPECT_EQ(base64Encode(std::vector<std::uint8_t>{0xfb, 0xff}), "+/8=");
}

TEST(Base64, RefusesAnythingButStrictStandardText)
{
    for (const char* bad : {"Zg", "Zg=", "Zm9", "Z===", "====", "Zg==Zg==", "Zm9v\n", " Zm9v", "Zm-_", "Zm=v",
                            "Zm9v*A==", "Zg=A"})
        EXPECT_FALSE(base64Decode(bad)) << bad;
}

TEST(Base64, DecodingIntoABufferAcceptsAndRefusesExactlyWhatTheStrictDecoderDoes)
{
    std::mt19937 rng(11);
    std::vector<std::uint8_t> out;
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> data(rng() % 400);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        std::string text = base64Encode(data);
        // Every byte value lands somewhere, so each boundary of the alphabet
        // is tried at every position of the wide steps.
        if (round % 2 == 1 && !text.empty()) text[rng() % text.size()] = static_cast<char>(rng());
        const auto expected = base64Decode(text);
        ASSERT_EQ(base64DecodeInto(text, out), expected.has_value()) << text;
        if (expected) {
            ASSERT_EQ(out, *expected) << text;
        }
    }
}

} // namespace
} // namespace twk
