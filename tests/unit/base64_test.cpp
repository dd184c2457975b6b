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

} // namespace
} // namespace twk
