#include "composition/core.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace twk {
namespace {

// The program quits while a skill still runs on a worker thread: what the
// skill uses must outlive it (the AddressSanitizer build reports a use after
// free otherwise).
TEST(CoreShutdown, ASkillInFlightFinishesBeforeTheObjectsItUsesAreFreed)
{
    ServiceConfig config;
    config.backendOrigin = "http://127.0.0.1:9";
    config.realtimeOrigin = "ws://127.0.0.1:9";
    config.builtInBackend = false;
    auto core = std::make_unique<Core>(config);
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    core->workers.post([&started, &finished, &skills = core->skills] {
        started = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        skills.quitApp("no such application anywhere"); // reads the workspace
        finished = true;
    });
    while (!started) std::this_thread::yield();
    core.reset();
    EXPECT_TRUE(finished);
}

} // namespace
} // namespace twk
