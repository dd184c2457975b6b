// An idle listening `tarnwick session`: a quiet microphone streamed to
// tarnwick-server (demo replies, so nothing is said back) for a while. Prints
// the application's CPU use (all threads, as a share of one core) and its
// resident memory at each interval, then the totals and the memory trend.
//   build/default/bench/idle_session [--seconds 600] [--interval 30] [--tarnwick PATH]
// Targets: under 2 % of one core; memory steady.

#include "session_rig.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

using namespace twk;
using Clock = std::chrono::steady_clock;

struct Point {
    double atSeconds;
    bench::ProcessSample sample;
};

/// Least-squares slope of memory over time, in KiB per minute.
double rssSlopePerMinute(const std::vector<Point>& points)
{
    if (points.size() < 2) return 0;
    double mx = 0, my = 0;
    for (const Point& p : points) {
        mx += p.atSeconds;
        my += double(p.sample.rssKiB);
    }
    mx /= double(points.size());
    my /= double(points.size());
    double num = 0, den = 0;
    for (const Point& p : points) {
        num += (p.atSeconds - mx) * (double(p.sample.rssKiB) - my);
        den += (p.atSeconds - mx) * (p.atSeconds - mx);
    }
    return den > 0 ? num / den * 60 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    const double duration = std::stod(bench::option(argc, argv, "--seconds", "600"));
    const double interval = std::stod(bench::option(argc, argv, "--interval", "30"));
    const std::string exe = bench::option(argc, argv, "--tarnwick", TARNWICK_EXE);

    bench::SessionRig rig;
    rig.startServer();
    test::ChildProcess& app = rig.startSession(exe);
    if (!app.waitForOutput("status: listening", std::chrono::seconds(20))) {
        std::fprintf(stderr, "idle_session: the session did not start:\n%s\n", app.output().c_str());
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(5)); // past start-up

    const auto start = Clock::now();
    std::vector<Point> points;
    std::printf("%8s %10s %10s\n", "time s", "cpu %", "rss KiB");
    for (double next = 0; next <= duration; next += interval) {
        while (Clock::now() < start + std::chrono::duration<double>(next)) {
            rig.drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const auto sample = bench::sampleProcess(app.pid());
        if (!sample) {
            std::fprintf(stderr, "idle_session: the session ended early:\n%s\n", app.output().c_str());
            return 1;
        }
        const double at = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = points.empty() ? 0
                                          : 100 * (sample->cpuSeconds - points.back().sample.cpuSeconds) /
                                                (at - points.back().atSeconds);
        points.push_back({at, *sample});
        std::printf("%8.0f %10.2f %10ld\n", at, cpu, sample->rssKiB);
        std::fflush(stdout);
    }
    const auto serverUse = bench::sampleProcess(rig.server().process().pid());
    app.sendSignal(SIGTERM);
    const auto status = app.waitForExit(std::chrono::seconds(15));

    const Point& first = points.front();
    const Point& last = points.back();
    const double wall = last.atSeconds - first.atSeconds;
    long peak = 0;
    for (const Point& p : points) peak = std::max(peak, p.sample.rssKiB);
    const std::vector<Point> secondHalf(points.begin() + std::ptrdiff_t(points.size() / 2), points.end());
    std::printf("idle session, %.0f s: cpu %.2f %% of one core (target < 2 %%)\n", wall,
                100 * (last.sample.cpuSeconds - first.sample.cpuSeconds) / wall);
    std::printf("rss %ld KiB at the start, %ld KiB at the end, %ld KiB at most; trend %+.1f KiB/min overall, "
                "%+.1f KiB/min over the second half\n",
                first.sample.rssKiB, last.sample.rssKiB, peak, rssSlopePerMinute(points), rssSlopePerMinute(secondHalf));
    if (serverUse) std::printf("(tarnwick-server: %.1f s of cpu, %ld KiB)\n", serverUse->cpuSeconds, serverUse->rssKiB);
    std::printf("session ended with status %d\n", status.value_or(-999));
    return status == 0 ? 0 : 1;
}
