#include "rate_limiter.h"

#include <gtest/gtest.h>

namespace twk::server {
namespace {

TEST(RateLimiterTest, BurstThenRefillPerKey)
{
    RateLimiter limiter(3, 0.5); // three at once, then one every two seconds
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(limiter.allow("a", 0));
    EXPECT_FALSE(limiter.allow("a", 0));
    EXPECT_EQ(limiter.secondsUntilAllowed("a", 0), 2);
    EXPECT_TRUE(limiter.allow("b", 0)) << "keys are independent";
    EXPECT_FALSE(limiter.allow("a", 1'999));
    EXPECT_TRUE(limiter.allow("a", 2'000));
    EXPECT_FALSE(limiter.allow("a", 2'000));
    // A long pause refills no more than the burst.
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(limiter.allow("a", 1'000'000));
    EXPECT_FALSE(limiter.allow("a", 1'000'000));
}

TEST(RateLimiterTest, MakingRoomForgetsOnlyKeysThatAreFullAgain)
{
    RateLimiter limiter(1, 0.001, 2); // one token per 1,000 s, room for two keys
    EXPECT_TRUE(limiter.allow("idle", 0));
    EXPECT_TRUE(limiter.allow("busy", 999'000));
    EXPECT_TRUE(limiter.allow("new", 1'000'000)); // "idle" is full again: it goes
    EXPECT_FALSE(limiter.allow("busy", 1'000'000)) << "a key still over its rate must be remembered";
}

} // namespace
} // namespace twk::server
