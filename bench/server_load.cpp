// Load on tarnwick-server over loopback: N clients, each on its own
// keep-alive connection, send a mix of health, status and usage reports.
// Reports requests per second, latency, errors, and checks afterwards that
// every acknowledged report is in the stored usage.
//
//   server_load [--clients 50] [--requests 200]

#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <nlohmann/json.hpp>

#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace twk;
using Clock = std::chrono::steady_clock;

std::string userFor(int client)
{
    char id[40];
    std::snprintf(id, sizeof id, "%08x-0000-4000-8000-%012x", unsigned(client + 1), unsigned(client + 1));
    return id;
}

} // namespace

int main(int argc, char** argv)
{
    int clients = 50, requests = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--clients") clients = std::max(1, std::atoi(argv[i + 1]));
        else if (name == "--requests") requests = std::max(1, std::atoi(argv[i + 1]));
    }
    QTemporaryDir dir;
    test::ServerProcess server(dir.path().toStdString() + "/data");

    std::atomic<int> errors{0}, finished{0};
    std::vector<int> acknowledged(size_t(clients), 0);
    std::vector<std::vector<double>> latencies{size_t(clients)};
    const auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            const std::string user = userFor(c);
            test::RawConnection connection(server.port());
            for (int i = 0; i < requests; ++i) {
                std::string request;
                switch (i % 3) {
                case 0: request = test::getRequest("/api/health"); break;
                case 1: request = test::getRequest("/api/usage/status?userId=" + user); break;
                default: request = test::jsonPost("/api/usage/track", R"({"userId":")" + user + R"(","seconds":1})");
                }
                const auto sent = Clock::now();
                if (!connection.write(request)) {
                    ++errors;
                    break;
                }
                const auto answer = connection.read();
                latencies[size_t(c)].push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                if (answer.status != 200) ++errors;
                else if (i % 3 == 2) ++acknowledged[size_t(c)];
            }
            ++finished;
        });
    // The server logs every request: its pipe must be read or it blocks.
    while (finished < clients) {
        server.process().output();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (auto& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();

    int lost = 0;
    for (int c = 0; c < clients; ++c) {
        const auto r = test::rawRequest(server.port(), test::getRequest("/api/usage/status?userId=" + userFor(c)));
        const auto body = nlohmann::json::parse(r.body, nullptr, false);
        const double used = body.is_object() ? body.value("usedSeconds", -1.0) : -1.0;
        if (used < acknowledged[size_t(c)]) ++lost;
    }
    std::vector<double> all;
    for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    const auto at = [&all](double q) { return all.empty() ? 0.0 : all[std::min(all.size() - 1, size_t(q * double(all.size())))]; };
    std::printf("%d clients x %d requests: %zu answered in %.2f s, %.0f requests/s\n", clients, requests, all.size(), seconds,
                double(all.size()) / seconds);
    std::printf("latency ms: median %.2f, p95 %.2f, p99 %.2f, max %.2f\n", at(0.5), at(0.95), at(0.99), all.empty() ? 0 : all.back());
    std::printf("errors: %d, clients with an acknowledged report missing: %d\n", errors.load(), lost);
    server.stop();
    return errors == 0 && lost == 0 ? 0 : 1;
}
