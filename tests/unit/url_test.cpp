#include "common/url.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

TEST(Url, SplitsEveryPart)
{
    const auto u = parseUrl("https://user:pw@Example.com:8443/a%20b/c?q=1&r=2#frag");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->scheme, "https");
    EXPECT_EQ(u->host, "Example.com"); // case kept
    EXPECT_EQ(u->path, "/a b/c");
    EXPECT_EQ(u->query, "q=1&r=2");
    EXPECT_EQ(u->fragment, "frag");

    const auto v6 = parseUrl("http://[::1]:80/x");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");

    const auto opaque = parseUrl("mailto:ada@example.com");
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->host, "");
    EXPECT_EQ(opaque->path, "ada@example.com");
}

TEST(Url, RejectsTextWithoutASchemeOrWithSpaces)
{
    EXPECT_FALSE(parseUrl("refresh"));
    EXPECT_FALSE(parseUrl(":refresh"));
    EXPECT_FALSE(parseUrl("1x://refresh"));
    EXPECT_FALSE(parseUrl("tarnwick://re fresh"));
    EXPECT_FALSE(parseUrl("tarnwick://x\n"));
    EXPECT_FALSE(parseUrl("http://[::1/x"));
}

TEST(Url, PercentDecodingLeavesBrokenEscapesAlone)
{
    EXPECT_EQ(percentDecode("%41%2f%zz%4"), "A/%zz%4");
    EXPECT_EQ(percentDecode("%"), "%");
}

TEST(Url, PercentEncodingKeepsOnlyUnreservedCharactersAndRoundTrips)
{
    EXPECT_EQ(percentEncode("gpt-realtime_2.0~x"), "gpt-realtime_2.0~x");
    EXPECT_EQ(percentEncode("a b&c=d/e?#%+"), "a%20b%26c%3Dd%2Fe%3F%23%25%2B");
    const std::string bytes("\xc3\xa9\x00\xff", 4);
    EXPECT_EQ(percentEncode(bytes), "%C3%A9%00%FF");
    EXPECT_EQ(percentDecode(percentEncode(bytes)), bytes);
}

} // namespace
} // namespace twk
