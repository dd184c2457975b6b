// Requests the application would never send, written byte by byte: each is
// refused with the right status and a JSON error, and nothing changes.

#include "integration/server/raw_http.h"
#include "integration/server/server_process.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace twk {
namespace {

using nlohmann::json;
using test::RawConnection;
using test::rawRequest;
using test::ServerProcess;

const std::string user = "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c";

std::string post(const std::string& path, const std::string& body, const std::string& extraHeaders = "")
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n" + extraHeaders +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string get(const std::string& target) { return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; }

class ServerHttpTest : public ::testing::Test {
protected:
    QTemporaryDir dataDir;
    ServerProcess server{dataDir.path().toStdString()};

    // A clean exit also means nothing leaked behind the refused connections (asan).
    void TearDown() override { EXPECT_EQ(server.stop(), 0) << server.process().output(); }

    json status()
    {
        auto r = rawRequest(server.port(), get("/api/usage/status?userId=" + user));
        EXPECT_EQ(r.status, 200);
        return json::parse(r.body);
    }
};

TEST_F(ServerHttpTest, BadRequestsAreRefusedAndChangeNothing)
{
    rawRequest(server.port(), post("/api/usage/track", R"({"userId":")" + user + R"(","seconds":10})"));
    const json before = status();
    ASSERT_EQ(before["usedSeconds"], 10.0);

    struct Case {
        std::string request;
        int status;
        std::string error;
    };
    const std::string track = "/api/usage/track";
    const Case cases[] = {
        {post(track, R"({"seconds":5})"), 400, "userId is missing"},
        {post(track, R"({"userId":42,"seconds":5})"), 400, "userId must be a string"},
        {post(track, R"({"userId":"me","seconds":5})"), 400, "userId must be a UUID"},
        {post(track, R"({"userId":")" + user + R"("})"), 400, "seconds is missing"},
        {post(track, R"({"userId":")" + user + R"(","seconds":"5"})"), 400, "seconds must be a number"},
        {post(track, R"({"userId":")" + user + R"(","seconds":-5})"), 400, "seconds must be from 0"},
        {post(track, R"({"userId":")" + user + R"(","seconds":1e300})"), 400, "seconds must be from 0"},
        // Valid seconds do not slip through beside invalid tokens.
        {post(track, R"({"userId":")" + user + R"(","seconds":5,"tokens":{"in":1.5}})"), 400, "tokens.in"},
        {post(track, R"({"userId":")" + user + R"(","seconds":5,"tokens":[1]})"), 400, "tokens must be an object"},
        {post(track, "seconds=5"), 400, "not valid JSON"},
        {post(track, "[\"" + user + "\"]"), 400, "must be a JSON object"},
        {post(track, "{\"userId\":\"\xff\"}"), 400, "not valid JSON"},
        {post("/api/realtime/session", "{}"), 400, "userId is missing"},
        {get("/api/usage/status"), 400, "userId is missing"},
        {get("/api/usage/status?userId=" + user + "&userId=" + user), 400, "more than once"},
        {get("/api/usage/status?userId=%zz"), 400, "malformed query"},
        {get("/api/usage/track"), 405, "GET is not allowed"},
        {get("/api/nothing"), 404, "no such endpoint"},
        {get("/v1/realtime?model=m"), 426, "WebSocket"},
        {post(track, std::string(1024 * 1024 + 1, ' ')), 413, "larger than 1048576"},
        {"GET / HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n", 431, "request head larger"},
        {"POST /api/usage/track HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 411, "Content-Length"},
        {"GET /api/health HTTP/3\r\n\r\n", 505, "HTTP/1.1"},
        // What a web page could send: refused before anything is read.
        {post("/api/realtime/session", R"({"userId":")" + user + R"("})", "Origin: https://evil.example\r\n"), 403, "web pages"},
        {"POST /api/realtime/session HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\n{}", 415, "application/json"},
        {"POST /api/usage/track HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n\r\n{}", 415, "application/json"},
        {"GET /v1/realtime?model=m HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: http://localhost:3000\r\nUpgrade: websocket\r\n\r\n", 403, "web pages"},
        {"GET /api/health HTTP/1.1\r\nHost: evil.example:8787\r\n\r\n", 403, "host evil.example"},
        {"\x16\x03\x01\x02\x01\xfc\x03\x03\r\n\r\n", 400, "malformed"}, // TLS where HTTP was expected
    };
    for (const Case& c : cases) {
        auto r = rawRequest(server.port(), c.request);
        EXPECT_EQ(r.status, c.status) << c.request.substr(0, 120);
        EXPECT_EQ(r.headers["content-type"], "application/json");
        const json body = json::parse(r.body, nullptr, false);
        ASSERT_TRUE(body.is_object() && body["error"].is_string()) << r.body;
        EXPECT_NE(body["error"].get<std::string>().find(c.error), std::string::npos) << body["error"];
    }
    EXPECT_EQ(rawRequest(server.port(), get("/api/usage/track")).headers["allow"], "POST");
    EXPECT_EQ(status(), before);
}

TEST_F(ServerHttpTest, KeepsConnectionsOpenUntilAskedToClose)
{
    RawConnection c(server.port());
    // Two pipelined requests, answered in order on the same connection.
    c.write(get("/api/health") + post("/api/usage/track", R"({"userId":")" + user + R"(","seconds":3})"));
    const auto health = c.read();
    EXPECT_EQ(health.status, 200);
    EXPECT_EQ(json::parse(health.body)["service"], "tarnwick-server");
    const auto tracked = c.read();
    EXPECT_EQ(tracked.status, 200);
    EXPECT_EQ(json::parse(tracked.body)["usedSeconds"], 3.0);
    EXPECT_FALSE(tracked.closedByServer);

    c.write("GET /api/health HTTP/1.1\r\nConnection: close\r\n\r\n");
    auto last = c.read();
    EXPECT_EQ(last.status, 200);
    EXPECT_EQ(last.headers["connection"], "close");
    EXPECT_TRUE(last.closedByServer);

    // A body announced with "Expect: 100-continue" is invited, then read.
    RawConnection e(server.port());
    const std::string body = R"({"userId":")" + user + R"(","seconds":2})";
    e.write("POST /api/usage/track HTTP/1.1\r\nContent-Type: application/json; charset=utf-8\r\nExpect: 100-continue\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
    EXPECT_EQ(e.read().status, 100);
    e.write(body);
    EXPECT_EQ(json::parse(e.read().body)["usedSeconds"], 5.0);
}

TEST_F(ServerHttpTest, ARefusedUploadStillGetsItsAnswer)
{
    // The client is still sending when the refusal goes out: the rest of its
    // upload is taken (not reset) and the 413 is there to read.
    RawConnection c(server.port());
    EXPECT_TRUE(c.write("POST /api/usage/track HTTP/1.1\r\nContent-Length: 40000000\r\n\r\n" + std::string(40'000'000, 'x')));
    auto r = c.read();
    EXPECT_EQ(r.status, 413);
    EXPECT_TRUE(r.closedByServer);
}

} // namespace
} // namespace twk
