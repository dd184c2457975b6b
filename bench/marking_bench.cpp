// Marking 100 elements of a window that holds a 2,000-row list, against the
// same stop-at-100 walk through the Python AT-SPI bindings (one D-Bus round
// trip per attribute read), in the same run. Once with the project's Qt
// fixture window, once with a GTK list (zenity). Needs the desktop: run it
// inside tests/harness/desktop.sh.

#include "accessibility/accessibility_service.h"
#include "platform/linux/atspi_accessibility.h"
#include "platform/linux/linux_workspace.h"

#include "integration/process_helpers.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <sstream>
#include <thread>

namespace {

using namespace twk;
using Clock = std::chrono::steady_clock;

constexpr int limit = 100;
constexpr int runs = 9;

template <typename F>
auto onThread(WorkerPool& thread, F work) -> decltype(work())
{
    std::packaged_task<decltype(work())()> job(std::move(work));
    auto result = job.get_future();
    thread.post([&job] { job(); });
    return result.get();
}

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// Median, min and max of `runs` markings, and the marks of the last.
struct Timing {
    double median = 0, min = 0, max = 0;
    std::size_t marks = 0;
};

/// `quick`: bulk reads and the walk's shortcuts; else one read at a time by
/// the walk that visits everything.
Timing timeMarking(bool quick)
{
    WorkerPool thread{1};
    AtspiAccessibility ax;
    ax.setBulkReads(quick);
    LinuxWorkspace workspace;
    MarkElementMap map;
    AccessibilityService service{{ax, workspace, map, thread, static_cast<int>(getpid()), [](Duration) {}}};
    service.marker().setShortcuts(quick);

    std::size_t marked = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline && marked < 10) {
        const auto marks = onThread(thread, [&] { return service.markFocusedWindow(limit); });
        marked = marks ? marks->marks.size() : 0;
        if (marked < 10) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        times.push_back(onThread(thread, [&] {
            const auto start = Clock::now();
            const auto marks = service.markFocusedWindow(limit);
            marked = marks ? marks->marks.size() : 0;
            return millisecondsSince(start);
        }));
    }
    std::sort(times.begin(), times.end());
    onThread(thread, [&] { map.clear(); });
    thread.stop();
    return {times[times.size() / 2], times.front(), times.back(), marked};
}

void measure(const char* what, int pid, int pythonRuns)
{
    const Timing quick = timeMarking(true);
    const Timing plain = timeMarking(false);
    test::ChildProcess python("/usr/bin/python3", {BENCH_DIR "/pyatspi_marking_walk.py", std::to_string(pid),
                                                   std::to_string(limit), std::to_string(pythonRuns)});
    python.waitForExit(std::chrono::seconds(300));
    std::istringstream reply(python.output());
    double pythonMs = 0;
    int pythonMarks = 0;
    reply >> pythonMs >> pythonMarks;
    std::printf("%s\n  tarnwick, quick walk:    %3zu marks, median %7.2f ms (min %7.2f, max %7.2f)\n"
                "  tarnwick, plain walk:    %3zu marks, median %7.2f ms (min %7.2f, max %7.2f)\n"
                "  pyatspi walk:            %3d marks, median %7.2f ms (of %d)\n",
                what, quick.marks, quick.median, quick.min, quick.max, plain.marks, plain.median, plain.min, plain.max,
                pythonMarks, pythonMs, pythonRuns);
}

} // namespace

int main(int argc, char** argv)
{
    // "qt" or "gtk" runs one of the two; nothing runs both.
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "qt") {
        // Qt exposes every row, on screen or not, and marks the few it shows;
        // the pyatspi walk reads all 2,000 (about 18 s), so it runs once.
        test::ChildProcess fixture(QT_WIDGETS_FIXTURE, {"--rows", "2000"});
        if (!fixture.waitForOutput("ready")) return std::fprintf(stderr, "the Qt fixture did not start\n"), 1;
        measure("Qt fixture window, 2,000-row list", fixture.pid(), 1);
    }
    if (only.empty() || only == "gtk") {
        // Three columns: about 120 cells on screen, so marking stops at 100.
        std::vector<std::string> args{"--list", "--width=600", "--height=1000", "--column=Row", "--column=Name",
                                      "--column=Size"};
        for (int i = 1; i <= 2000; ++i) {
            args.push_back("Row " + std::to_string(i));
            args.push_back("file" + std::to_string(i) + ".txt");
            args.push_back(std::to_string(i * 3) + " kB");
        }
        test::ChildProcess zenity("/usr/bin/zenity", args);
        measure("GTK list (zenity), 2,000 rows", zenity.pid(), 5);
    }
    return 0;
}
