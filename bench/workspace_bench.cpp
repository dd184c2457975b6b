// The desktop's window list and entries as the skills query them, with a
// calculator and an editor running. Needs an X display with a window
// manager: run it inside tests/harness/desktop.sh.
// BM_OpenConnection is what a fresh X connection per call would add.
// BM_ReadAppStreamDescriptions is what the first installed-application list
// of a process pays for the software catalogue: this machine's, then a
// catalogue of 300 copies of its largest file (a well-stocked desktop).

#include "platform/linux/appstream_descriptions.h"
#include "platform/linux/ewmh_windows.h"
#include "platform/linux/linux_workspace.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

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

void BM_ReadAppStreamDescriptions(benchmark::State& state)
{
    namespace fs = std::filesystem;
    auto folders = appStreamFolders();
    const fs::path copies = fs::temp_directory_path() / ("twk-metainfo-" + std::to_string(getpid()));
    if (state.range(0) > 0) {
        fs::path largest;
        std::error_code ec;
        for (const auto& folder : folders)
            for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
                if (largest.empty() || it->file_size() > fs::file_size(largest)) largest = it->path();
        if (largest.empty()) std::abort();
        fs::create_directories(copies);
        for (int i = 0; i < state.range(0); ++i) fs::copy_file(largest, copies / (std::to_string(i) + ".xml"));
        folders = {copies};
    }
    for (auto _ : state) benchmark::DoNotOptimize(readAppStreamDescriptions(folders));
    fs::remove_all(copies);
}

BENCHMARK(BM_RunningApplications)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrontmostApplicationPid)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InstalledApplications)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenConnection)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAppStreamDescriptions)->Arg(0)->Arg(300)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    // The applications end with the desktop the harness tears down.
    benchmark::Shutdown();
}
