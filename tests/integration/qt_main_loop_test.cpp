#include "common/task.h"
#include "integration/qt_spin.h"
#include "platform/linux/qt_main_loop.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <thread>

namespace twk {
namespace {

using test::spinUntil;

TEST(QtMainLoop, PostedWorkFromOtherThreadsRunsOnTheMainThreadInOrder)
{
    QtMainLoop loop;
    std::vector<int> seen;
    bool allOnMain = true;
    std::thread other([&] {
        EXPECT_FALSE(loop.isMainThread());
        for (int i = 0; i < 100; ++i)
            loop.post([&, i] {
                allOnMain = allOnMain && loop.isMainThread();
                seen.push_back(i);
            });
    });
    other.join();
    ASSERT_TRUE(spinUntil([&] { return seen.size() == 100; }));
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST(QtMainLoop, TimersFireAfterTheirDelayRepeatAndStopWhenInvalidated)
{
    QtMainLoop loop;
    const auto start = loop.now();
    TimePoint firedAt{};
    int cancelledFired = 0, dropped = 0, ticks = 0, fromThread = 0;
    loop.after(std::chrono::milliseconds(60), [&] { firedAt = loop.now(); });
    loop.after(std::chrono::milliseconds(10), [&] { ++dropped; }); // handle dropped at once
    auto cancelled = loop.after(std::chrono::milliseconds(20), [&] { ++cancelledFired; });
    cancelled.invalidate();
    TimerHandle repeating;
    repeating = loop.every(std::chrono::milliseconds(15), [&] {
        if (++ticks == 3) repeating.invalidate();
    });
    std::thread([&] { loop.after(std::chrono::milliseconds(5), [&] { ++fromThread; }); }).join();

    ASSERT_TRUE(spinUntil([&] { return firedAt != TimePoint{} && ticks == 3 && fromThread == 1; }));
    spinUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_GE(firedAt - start, std::chrono::milliseconds(60));
    EXPECT_EQ(cancelledFired, 0);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(repeating.isValid());
}

TEST(QtMainLoop, TasksSleepOnItAndAreFreedWhenItGoesAway)
{
    auto live = std::make_shared<int>(0);
    bool woke = false;
    auto sleeper = [](MainLoop& l, std::shared_ptr<int> counter, bool& flag, int ms) -> Task<void> {
        ++*counter;
        struct Leave {
            std::shared_ptr<int> c;
            ~Leave() { --*c; }
        } leave{counter};
        co_await sleepFor(l, std::chrono::milliseconds(ms));
        flag = true;
    };
    {
        QtMainLoop loop;
        spawn(loop, sleeper(loop, live, woke, 10));
        ASSERT_TRUE(spinUntil([&] { return woke; }));
        EXPECT_EQ(*live, 0);

        woke = false;
        spawn(loop, sleeper(loop, live, woke, 60000));
        spinUntil([&] { return *live == 1; });
        spawn(loop, sleeper(loop, live, woke, 1)); // never started
    }
    EXPECT_EQ(*live, 0);
    EXPECT_FALSE(woke);
}

} // namespace
} // namespace twk
