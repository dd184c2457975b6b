// An acknowledged usage report survives the server being killed outright
// while other reports are still being written.

#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <thread>

namespace twk {
namespace {

using nlohmann::json;

TEST(ServerDurabilityTest, KillDuringConcurrentWritesLosesNoAcknowledgedReport)
{
    QTemporaryDir dir;
    const std::string data = dir.path().toStdString() + "/data";
    const std::vector<std::string> users{"11111111-1111-4111-8111-111111111111", "22222222-2222-4222-8222-222222222222",
                                         "33333333-3333-4333-8333-333333333333", "44444444-4444-4444-8444-444444444444"};
    std::vector<int> acknowledged(users.size(), 0), attempted(users.size(), 0);
    for (int round = 0; round < 8; ++round) {
        test::ServerProcess server(data);
        std::atomic<bool> stop{false};
        std::vector<std::thread> writers;
        for (size_t u = 0; u < users.size(); ++u)
            writers.emplace_back([&, u] {
                const std::string body = R"({"userId":")" + users[u] + R"(","seconds":1})";
                try {
                    while (!stop) {
                        ++attempted[u];
                        if (test::rawRequest(server.port(), test::jsonPost("/api/usage/track", body)).status == 200)
                            ++acknowledged[u];
                    }
                } catch (const std::runtime_error&) {
                    // The server is gone: connecting fails until the next round.
                }
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + 40 * round));
        server.process().sendSignal(SIGKILL);
        stop = true;
        for (auto& w : writers) w.join();
        EXPECT_EQ(server.process().waitForExit(), -SIGKILL);
    }
    test::ServerProcess server(data);
    for (size_t u = 0; u < users.size(); ++u) {
        const auto r = test::rawRequest(server.port(), test::getRequest("/api/usage/status?userId=" + users[u]));
        const double used = json::parse(r.body)["usedSeconds"];
        EXPECT_GE(used, double(acknowledged[u])) << users[u];
        EXPECT_LE(used, double(attempted[u])) << users[u];
    }
    EXPECT_GT(acknowledged[0], 8);
    EXPECT_EQ(server.stop(), 0);
}

} // namespace
} // namespace twk
