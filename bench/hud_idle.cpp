// The HUD's cost: the real `tarnwick` idling with its HUD on screen (CPU
// share of one core and resident memory over 10 s), and how soon the HUD
// repaints after a status change (in-process, on the same widgets).
// Not a Google Benchmark: it needs an X server. Run it inside the harness:
//   tests/harness/desktop.sh build/default/bench/hud_idle

#include "app/app_state.h"
#include "fakes/memory_settings.h"
#include "integration/process_helpers.h"
#include "platform/linux/qt_main_loop.h"
#include "ui/status_hud_controller.h"

#include <QApplication>
#include <QElapsedTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using namespace twk;
using Clock = std::chrono::steady_clock;

// User plus system CPU time of `pid`, in clock ticks.
long cpuTicks(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip; // fields 3 ... 13
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return utime + stime;
}

long residentKiB(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

void idleProgram()
{
    test::ChildProcess app(TARNWICK_EXE, {}, {{"TARNWICK_BACKEND_URL", "http://127.0.0.1:9"}});
    if (!app.waitForOutput("[twk] MenuBarController constructed")) {
        std::printf("tarnwick did not start:\n%s\n", app.output().c_str());
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2)); // past start-up work
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    const long before = cpuTicks(app.pid());
    const auto start = Clock::now();
    long peakKiB = 0;
    while (Clock::now() - start < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        peakKiB = std::max(peakKiB, residentKiB(app.pid()));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = static_cast<double>(cpuTicks(app.pid()) - before) / static_cast<double>(ticksPerSecond);
    std::printf("idle tarnwick, HUD shown, 10 s: CPU %.2f %% of one core, resident peak %.1f MB\n",
                100.0 * cpu / wall, static_cast<double>(peakKiB) / 1024.0);
}

void repaintLatency(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    QtMainLoop loop;
    test::MemorySettings settings;
    AppState state(settings, loop);
    ui::StatusHUDController hud(state);
    hud.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);

    const SessionStatus statuses[] = {SessionStatus::connecting(), SessionStatus::listening(),
                                      SessionStatus::acting(), SessionStatus::error("x"), SessionStatus::off()};
    std::vector<double> micros;
    for (int i = 0; i < 200; ++i) {
        const int paintsBefore = hud.panel()->paintCount();
        QElapsedTimer clock;
        clock.start();
        state.status.set(statuses[i % 5]);
        while (hud.panel()->paintCount() == paintsBefore && clock.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents);
        micros.push_back(static_cast<double>(clock.nsecsElapsed()) / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("status change to finished repaint, 200 changes: median %.0f us, p95 %.0f us, max %.0f us\n",
                micros[micros.size() / 2], micros[micros.size() * 95 / 100], micros.back());
}

} // namespace

int main(int argc, char** argv)
{
    idleProgram();
    repaintLatency(argc, argv);
    return 0;
}
