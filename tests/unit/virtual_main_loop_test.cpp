#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

#include <thread>

namespace twk {
namespace {

using test::VirtualMainLoop;

long long ms(TimePoint t) { return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count(); }

TEST(VirtualMainLoop, FiresDueTimersInTimeOrderThenSchedulingOrderAtTheirOwnTime)
{
    VirtualMainLoop loop;
    std::vector<std::string> fired;
    loop.after(seconds(3), [&] { fired.push_back("c@" + std::to_string(ms(loop.now()))); });
    loop.after(seconds(1), [&] { fired.push_back("a@" + std::to_string(ms(loop.now()))); });
    loop.after(seconds(3), [&] { fired.push_back("d@" + std::to_string(ms(loop.now()))); });
    loop.after(seconds(2), [&] {
        fired.push_back("b@" + std::to_string(ms(loop.now())));
        // Scheduled from a callback and due within this advance: fires in it.
        loop.after(seconds(0.5), [&] { fired.push_back("e@" + std::to_string(ms(loop.now()))); });
    });
    loop.advance(seconds(2.9));
    EXPECT_EQ(fired, (std::vector<std::string>{"a@1000", "b@2000", "e@2500"}));
    EXPECT_EQ(ms(loop.now()), 2900);
    loop.advance(seconds(0.1));
    EXPECT_EQ(fired, (std::vector<std::string>{"a@1000", "b@2000", "e@2500", "c@3000", "d@3000"}));
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(VirtualMainLoop, InvalidatedTimersNeverFireAndDroppedHandlesStillDo)
{
    VirtualMainLoop loop;
    int fired = 0;
    auto late = loop.after(seconds(2), [&] { ++fired; });
    auto direct = loop.after(seconds(1), [&] { ++fired; });
    direct.invalidate();
    loop.after(seconds(1.5), [&] { late.invalidate(); });
    loop.after(seconds(1), [&] { fired += 10; }); // handle dropped at once
    auto spent = loop.after(seconds(1), [] {});
    loop.advance(seconds(5));
    EXPECT_EQ(fired, 10);
    EXPECT_FALSE(late.isValid());
    EXPECT_FALSE(spent.isValid()) << "a one-shot is spent once fired";
}

TEST(VirtualMainLoop, RepeatingTimersReArmUntilInvalidatedFromInside)
{
    VirtualMainLoop loop;
    std::vector<long long> ticks;
    TimerHandle handle;
    handle = loop.every(seconds(1), [&] {
        ticks.push_back(ms(loop.now()));
        if (ticks.size() == 4) handle.invalidate();
    });
    loop.advance(seconds(2.5));
    EXPECT_EQ(ticks, (std::vector<long long>{1000, 2000}));
    EXPECT_TRUE(handle.isValid());
    loop.advance(seconds(10));
    EXPECT_EQ(ticks, (std::vector<long long>{1000, 2000, 3000, 4000}));
    EXPECT_FALSE(handle.isValid());
}

TEST(VirtualMainLoop, RunUntilWaitsForWorkPostedFromOtherThreads)
{
    VirtualMainLoop loop;
    bool done = false;
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop.post([&] { done = loop.isMainThread(); });
    });
    EXPECT_TRUE(loop.runUntil([&] { return done; }));
    other.join();
    EXPECT_FALSE(loop.runUntil([] { return false; }, std::chrono::milliseconds(10)));
}

} // namespace
} // namespace twk
