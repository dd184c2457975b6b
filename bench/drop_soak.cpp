// A soak of forced connection drops: tarnwick-server drops every realtime
// connection of a `tarnwick session`. All but the last four connections first
// say something (a transcript), which proves them healthy, so each of those
// drops is followed by a reconnect a second later; the last four drop at once,
// and the fourth of those consecutive failures ends the session with
// "connection lost". Checks that every drop had that outcome and prints the
// application's memory over the run. Pass the AddressSanitizer build to have
// leaks reported at its exit:
//   build/default/bench/drop_soak [--drops 50] [--tarnwick build/asan/src/tarnwick]

#include "session_rig.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <thread>

namespace {

using namespace twk;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int failuresToEnd = 4;

json dropScenario(int healthy)
{
    json connections = json::array();
    for (int i = 1; i <= healthy; ++i)
        connections.push_back(json::array(
            {{{"on", "session.update"},
              {"send", {{"type", "conversation.item.input_audio_transcription.completed"},
                        {"transcript", "connection " + std::to_string(i)}}}},
             {{"on", {{"delay", 0.2}}}, {"drop", true}}}));
    connections.push_back(json::array({{{"drop", true}}})); // and every later connection
    return {{"description", "drop soak"}, {"connections", connections}};
}

int failures = 0;

void check(bool ok, const std::string& what)
{
    std::printf("  %s  %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++failures;
}

} // namespace

int main(int argc, char** argv)
{
    const int drops = std::stoi(bench::option(argc, argv, "--drops", "50"));
    const std::string exe = bench::option(argc, argv, "--tarnwick", TARNWICK_EXE);
    if (drops <= failuresToEnd) {
        std::fprintf(stderr, "drop_soak: --drops must be more than %d\n", failuresToEnd);
        return 2;
    }
    const int healthy = drops - failuresToEnd;

    bench::SessionRig rig;
    rig.writeFile("drops.json", dropScenario(healthy).dump(1));
    rig.startServer({"--scenario", rig.path("drops.json")});
    const auto start = Clock::now();
    // Options given to this program (quarantine_size_mb=0, say) are passed on.
    const char* given = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = given && *given ? std::string(given) + ":detect_leaks=1" : "detect_leaks=1";
    test::ChildProcess& app = rig.startSession(exe, {}, {{"ASAN_OPTIONS", asanOptions}});

    std::vector<std::pair<double, long>> memory; // seconds, RSS KiB
    std::optional<int> status;
    const auto deadline = start + std::chrono::seconds(60 + 3 * drops);
    for (auto nextSample = start; !status && Clock::now() < deadline;) {
        if (Clock::now() >= nextSample) {
            if (const auto sample = bench::sampleProcess(app.pid()))
                memory.emplace_back(std::chrono::duration<double>(Clock::now() - start).count(), sample->rssKiB);
            nextSample += std::chrono::seconds(5);
        }
        rig.drain();
        status = app.waitForExit(std::chrono::milliseconds(100));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    rig.drain();
    const std::string out = app.output();
    const std::string log = rig.server().process().output();

    std::printf("drop soak: %d drops in %.0f s\n", drops, wall);
    check(status.has_value(), "the session ended by itself");
    check(status == 1, "exit status 1 (got " + (status ? std::to_string(*status) : std::string("none")) + ")");
    check(test::occurrences(log, "dropping the connection") == size_t(drops),
          std::to_string(test::occurrences(log, "dropping the connection")) + " connections dropped");
    check(test::occurrences(log, "credential for ") == size_t(drops), "a fresh credential for every connection");
    check(test::occurrences(out, "[twk/session] reconnecting (attempt 1/4)") == size_t(healthy),
          "each healthy connection's drop reconnected at the first attempt");
    bool allHeard = true;
    for (int i = 1; i <= healthy; ++i) allHeard = allHeard && test::hasLine(out, "you: connection " + std::to_string(i));
    check(allHeard, "every healthy connection was heard");
    for (int attempt = 2; attempt <= failuresToEnd; ++attempt)
        check(test::occurrences(out, "reconnecting (attempt " + std::to_string(attempt) + "/4)") == 1,
              "attempt " + std::to_string(attempt) + " once, after consecutive failures");
    check(test::hasLine(out, "tarnwick: the session ended: error: connection lost"),
          "ended with \"connection lost\" after the fourth consecutive failure");
    check(out.find("Sanitizer") == std::string::npos, "no sanitizer report (leaks are checked at exit in an ASan build)");

    std::printf("rss over the run (s: KiB):");
    for (const auto& [at, kib] : memory) std::printf(" %.0f:%ld", at, kib);
    std::printf("\n");
    if (failures > 0) std::printf("application output:\n%s\nserver log:\n%s\n", out.c_str(), log.c_str());
    return failures == 0 ? 0 : 1;
}
