// One agent round on the client, end to end and without the model's own
// time: the running application takes a do_task, and a loopback stand-in
// for the backend answers at once, every round asking for a fresh snapshot
// (read_screen) and a press on one of five marks in turn. The time between
// two consecutive continue requests is the client's round: snapshot of the
// window (100 marks of a 2,000-row list), the press, its re-read, and the
// request. Needs the desktop: run it inside tests/harness/desktop.sh.
// Usage: agent_round_bench [ROWS]   (rows of the fixture's list; default 2000)
// AGENT_BENCH_MODE=snapshot or =click keeps only that tool use in each round.

#include "integration/loopback_http_server.h"
#include "integration/process_helpers.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <vector>

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int rounds = 40;

std::string roundBody(bool done, json toolUses = json::array())
{
    return json{{"sessionId", "bench"}, {"done", done},       {"text", ""},
                {"toolUses", toolUses}, {"inputTokens", 0}, {"outputTokens", 0}}
        .dump();
}

/// The ids of the first marks whose line names one of `labels`.
std::vector<int> markIds(const std::string& snapshot, const std::vector<std::string>& labels)
{
    std::vector<int> ids;
    for (const auto& label : labels) {
        std::smatch match;
        if (std::regex_search(snapshot, match, std::regex("\\[(\\d+)\\] [a-z ]+ \"" + label + "\"")))
            ids.push_back(std::stoi(match[1]));
    }
    return ids;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string rows = argc > 1 ? argv[1] : "2000";
    using namespace twk::test;
    std::mutex mutex;
    std::vector<Clock::time_point> arrivals;
    std::vector<int> targets;
    std::string elementsLine;
    LoopbackHttpServer backend([&](const LoopbackHttpServer::Request& request) -> LoopbackHttpServer::Response {
        std::lock_guard lock(mutex);
        if (request.target.rfind("/api/agent/", 0) != 0) return {404, "{}"};
        const json body = json::parse(request.body, nullptr, false);
        if (request.target == "/api/agent/start") {
            const std::string snapshot = body.value("description", "");
            targets = markIds(snapshot, {"Notifications", "Dark mode", "Apple", "Banana", "Cherry"});
            std::smatch count;
            if (std::regex_search(snapshot, count, std::regex("INTERACTIVE ELEMENTS \\((\\d+)\\)"))) elementsLine = count[0];
        }
        if (body.contains("userMessage")) return {200, roundBody(true)};
        arrivals.push_back(Clock::now());
        if (arrivals.size() > rounds || targets.size() < 5) return {200, roundBody(true)};
        const int mark = targets[arrivals.size() % targets.size()];
        json uses = json::array();
        const char* mode = std::getenv("AGENT_BENCH_MODE");
        const std::string only = mode != nullptr ? mode : "";
        if (only != "click") uses.push_back({{"id", "r"}, {"name", "read_screen"}, {"input", json::object()}});
        if (only != "snapshot") uses.push_back({{"id", "c"}, {"name", "click"}, {"input", {{"id", mark}}}});
        return {200, roundBody(false, uses)};
    });

    ChildProcess fixture(QT_WIDGETS_FIXTURE, {"--rows", rows});
    if (!fixture.waitForOutput("ready")) return std::fprintf(stderr, "the Qt fixture did not start\n"), 1;
    ChildProcess app(TARNWICK_EXE, {}, {{"TARNWICK_BACKEND_URL", backend.origin()}});
    if (!app.waitForOutput("[twk] MenuBarController constructed"))
        return std::fprintf(stderr, "tarnwick did not start\n%s", app.output().c_str()), 1;
    ChildProcess task(TARNWICK_EXE, {"tool", "do_task", R"({"description":"Click around in the fixture"})"});
    task.waitForExit(std::chrono::seconds(120));

    std::lock_guard lock(mutex);
    if (targets.size() < 5 || arrivals.size() < 3)
        return std::fprintf(stderr, "the rounds did not run\n%s\n%s", task.output().c_str(), app.output().c_str()), 1;
    std::vector<double> times;
    for (size_t i = 2; i < arrivals.size(); ++i) // the first round also carries the start
        times.push_back(std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count());
    std::sort(times.begin(), times.end());
    std::printf("%s rows: %s; %zu rounds of %s + continue request\n", rows.c_str(), elementsLine.c_str(), times.size(),
                std::getenv("AGENT_BENCH_MODE") != nullptr ? std::getenv("AGENT_BENCH_MODE") : "read_screen + click");
    std::printf("client round: median %.1f ms, min %.1f ms, max %.1f ms (target < 100 ms)\n", times[times.size() / 2],
                times.front(), times.back());
    return 0;
}
