// Hostile connection patterns against the real server on loopback: a flood
// of connections that never finish a request, and peers that send without
// reading the answers. The server keeps serving others, stays idle and keeps
// its memory bounded.

#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace twk {
namespace {

using namespace std::chrono_literals;

/// A TCP connection to the server from a chosen loopback source address.
int connectFrom(const std::string& source, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

/// Sends `unit` over and over on a non-blocking socket until the server has
/// taken nothing for two seconds (or `cap` bytes went); returns the bytes sent.
size_t sendUntilStalled(int fd, const std::string& unit, size_t cap)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::string pending;
    size_t sent = 0;
    for (auto quiet = std::chrono::steady_clock::now() + 2s; std::chrono::steady_clock::now() < quiet && sent < cap;) {
        while (pending.size() < 64 * 1024) pending += unit;
        const ssize_t n = ::send(fd, pending.data(), pending.size(), MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
            pending.erase(0, size_t(n));
            quiet = std::chrono::steady_clock::now() + 2s;
        } else if (n < 0 && errno != EAGAIN) {
            break; // closed by the server
        } else {
            std::this_thread::sleep_for(20ms);
        }
    }
    return sent;
}

struct Descriptors {
    std::vector<int> fds;
    ~Descriptors()
    {
        for (int fd : fds) ::close(fd);
    }
};

class ServerConnectionLimitsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string data() const { return dir.path().toStdString() + "/data"; }
};

TEST_F(ServerConnectionLimitsTest, HalfOpenConnectionsBeyondTheFileLimitLeaveTheServerAnsweringAndIdle)
{
    rlimit own{};
    getrlimit(RLIMIT_NOFILE, &own);
    own.rlim_cur = own.rlim_max;
    setrlimit(RLIMIT_NOFILE, &own); // the test itself holds more than 1,100
    const std::string prlimit = std::filesystem::exists("/usr/bin/prlimit") ? "/usr/bin/prlimit" : "/bin/prlimit";
    test::ServerProcess server(data(), {}, {prlimit, "--nofile=1024"});

    Descriptors flood;
    const std::string partialHead = "GET /api/health HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (int i = 0; i < 1100; ++i) {
        // From twenty addresses, so that the total cap is reached and not only the per-peer one.
        const int fd = connectFrom("127.0.0." + std::to_string(10 + i % 20), server.port());
        if (fd < 0) continue;
        ::send(fd, partialHead.data(), partialHead.size(), MSG_NOSIGNAL);
        flood.fds.push_back(fd);
    }
    ASSERT_GT(flood.fds.size(), 1000u);
    std::this_thread::sleep_for(300ms);

    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto health = test::rawRequest(server.port(), test::getRequest("/api/health"));
        EXPECT_EQ(health.status, 200) << server.process().output();
    }
    const double before = test::cpuSeconds(server.process().pid());
    std::this_thread::sleep_for(1s);
    EXPECT_LT(test::cpuSeconds(server.process().pid()) - before, 0.2) << "the server is busy with nothing to do";
    EXPECT_NE(server.process().output().find("too many connections"), std::string::npos);
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServerConnectionLimitsTest, APeerThatNeverReadsItsAnswersIsThrottledThenDisconnected)
{
    test::ServerProcess server(data());
    const int fd = connectFrom("127.0.0.1", server.port());
    ASSERT_GE(fd, 0);
    Descriptors held{{fd}};
    // Pipelined requests, sent for as long as the server takes them, never read.
    const size_t sent = sendUntilStalled(fd, test::getRequest("/api/health"), 200'000'000);
    EXPECT_LT(sent, 50'000'000u) << "the server kept taking requests whose answers nobody reads";
    if (test::residentSizeIsMeaningful) {
        EXPECT_LT(test::residentKiB(server.process().pid()), 64 * 1024) << "resident memory";
    }
    EXPECT_EQ(test::rawRequest(server.port(), test::getRequest("/api/health")).status, 200);
    EXPECT_TRUE(server.process().waitForOutput("did not read its answers", 15s));
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServerConnectionLimitsTest, ARealtimeClientThatNeverReadsIsDropped)
{
    test::ServerProcess server(data());
    const int fd = connectFrom("127.0.0.1", server.port());
    ASSERT_GE(fd, 0);
    Descriptors held{{fd}};
    const std::string handshake = test::getRequest("/v1/realtime?model=m",
                                                   "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nAuthorization: Bearer " +
                                                       test::mintSecret(server.port()) + "\r\n");
    ::send(fd, handshake.data(), handshake.size(), MSG_NOSIGNAL);
    char reply[512];
    ASSERT_GT(::recv(fd, reply, sizeof reply, 0), 12);
    ASSERT_EQ(std::string(reply, 12), "HTTP/1.1 101");
    // Masked text frames (a zero mask leaves the payload as it is), each asking for a reply.
    const std::string payload = R"({"type":"response.create"})";
    const std::string frame = std::string{char(0x81), char(0x80 | payload.size()), 0, 0, 0, 0} + payload;
    sendUntilStalled(fd, frame, 400'000'000);
    EXPECT_TRUE(server.process().waitForOutput("the client did not read", 10s));
    if (test::residentSizeIsMeaningful) {
        EXPECT_LT(test::residentKiB(server.process().pid()), 96 * 1024) << "resident memory";
    }
    EXPECT_EQ(test::rawRequest(server.port(), test::getRequest("/api/health")).status, 200);
    EXPECT_EQ(server.stop(), 0);
}

} // namespace
} // namespace twk
