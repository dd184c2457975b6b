#include "http_request.h"

#include <gtest/gtest.h>

namespace twk::server {
namespace {

using Outcome = HeadParse::Outcome;

TEST(HttpRequestHead, ReadsTheRequestLineHeadersAndBodyLength)
{
    const std::string bytes = "POST /api/usage/track?a=1 HTTP/1.1\r\nHost: x\r\nContent-Type:  application/json \r\n"
                              "Content-Length: 17\r\n\r\n{\"userId\":\"abc\"}\nGET / HTTP/1.1\r\n\r\n";
    const HeadParse p = parseRequestHead(bytes, {});
    ASSERT_EQ(p.outcome, Outcome::complete);
    EXPECT_EQ(p.request.method, "POST");
    EXPECT_EQ(p.request.target, "/api/usage/track?a=1");
    EXPECT_EQ(p.request.path, "/api/usage/track");
    EXPECT_EQ(p.request.query, "a=1");
    EXPECT_EQ(p.request.header("content-type"), "application/json");
    EXPECT_EQ(p.contentLength, 17u);
    // The head ends at the blank line; the next pipelined request is not touched.
    EXPECT_EQ(bytes.substr(p.headLength, p.contentLength), "{\"userId\":\"abc\"}\n");
    EXPECT_TRUE(p.request.keepAlive);
}

TEST(HttpRequestHead, WaitsForTheBlankLineAndToleratesBareNewlines)
{
    EXPECT_EQ(parseRequestHead("GET / HTTP/1.1\r\nHost: x\r\n", {}).outcome, Outcome::incomplete);
    const HeadParse p = parseRequestHead("\r\nGET /x HTTP/1.0\nConnection: keep-alive\n\n", {});
    ASSERT_EQ(p.outcome, Outcome::complete);
    EXPECT_EQ(p.request.path, "/x");
    EXPECT_TRUE(p.request.keepAlive);
    EXPECT_FALSE(parseRequestHead("GET / HTTP/1.0\r\n\r\n", {}).request.keepAlive);
    EXPECT_FALSE(parseRequestHead("GET / HTTP/1.1\r\nConnection: TE, Close\r\n\r\n", {}).request.keepAlive);
}

TEST(HttpRequestHead, RefusesWhatItCannotServeWithTheRightStatus)
{
    const HttpLimits limits{64, 100};
    const std::pair<std::string, int> cases[] = {
        {"GET /\r\n\r\n", 400},
        {"GET  / HTTP/1.1\r\n\r\n", 400},
        {"GET http://host/ HTTP/1.1\r\n\r\n", 400},
        {"G(T / HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/2.0\r\n\r\n", 505},
        {"GET / HTTP/1.1\r\nA: b\r\n  folded\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nNo colon\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nBad : x\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 101\r\n\r\n", 413},
        {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", 413},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 411},
        {"POST / HTTP/1.1\r\nExpect: magic\r\n\r\n", 417},
        {"GET / HTTP/1.1\r\nX: " + std::string(80, 'a') + "\r\n\r\n", 431},
        {"GET / HTTP/1.1\r\nX: " + std::string(80, 'a'), 431}, // too long before it even ends
    };
    for (const auto& [bytes, status] : cases) {
        const HeadParse p = parseRequestHead(bytes, limits);
        EXPECT_EQ(p.outcome, Outcome::invalid) << bytes;
        EXPECT_EQ(p.status, status) << bytes;
        EXPECT_FALSE(p.error.empty());
    }
    const HeadParse same = parseRequestHead("POST / HTTP/1.1\r\nContent-Length: 007\r\nContent-Length: 007\r\n\r\n", limits);
    EXPECT_EQ(same.outcome, Outcome::complete);
    EXPECT_EQ(same.contentLength, 7u);
    EXPECT_TRUE(parseRequestHead("POST / HTTP/1.1\r\nExpect: 100-Continue\r\n\r\n", limits).expectsContinue);
}

TEST(HttpRequestQuery, DecodesEscapesAndRejectsBrokenOnes)
{
    const auto items = parseQuery("userId=a%2Db&&flag&x=%41%42");
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[0], std::make_pair(std::string("userId"), std::string("a-b")));
    EXPECT_EQ((*items)[1], std::make_pair(std::string("flag"), std::string()));
    EXPECT_EQ((*items)[2].second, "AB");
    EXPECT_FALSE(parseQuery("userId=%4"));
    EXPECT_FALSE(parseQuery("userId=%zz"));
}

} // namespace
} // namespace twk::server
