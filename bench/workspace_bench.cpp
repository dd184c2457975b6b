// The desktop's window list and entries as the skills query them, with a
// calculator and an editor running. Needs an X display with a window
// manager: run it inside tests/harness/desktop.sh.
// BM_OpenConnection is what a fresh X connection per call would add.

#include "platform/linux/ewmh_windows.h"
#include "platform/linux/linux_workspace.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using namespace twk;

LinuxWorkspace& workspace()
{
    static LinuxWorkspace instance;
    return instance;
}

/// Launches the entries once and waits until each has a window.
void startApplications()
{
    static const bool started = [] {
        for (const char* id : {"galculator", "org.xfce.mousepad"}) workspace().launch({id, id}, [](auto) {});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto apps = workspace().runningApplications();
            if (std::count_if(apps.begin(), apps.end(), [](const auto& a) { return a.regular; }) >= 2) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }();
    if (!started) std::abort();
}

void BM_RunningApplications(benchmark::State& state)
{
    startApplications();
    for (auto _ : state) benchmark::DoNotOptimize(workspace().runningApplications());
}

void BM_FrontmostApplicationPid(benchmark::State& state)
{
    startApplications();
    for (auto _ : state) benchmark::DoNotOptimize(workspace().frontmostApplicationPid());
}

void BM_InstalledApplications(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(workspace().installedApplications());
}

void BM_OpenConnection(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(EwmhWindows::open(std::getenv("DISPLAY")));
}

BENCHMARK(BM_RunningApplications)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrontmostApplicationPid)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InstalledApplications)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenConnection)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    // The applications end with the desktop the harness tears down.
    benchmark::Shutdown();
}
