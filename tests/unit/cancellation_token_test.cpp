#include "common/cancellation_token.h"
#include "common/log.h"

#include <gtest/gtest.h>

#include <thread>

namespace twk {
namespace {

TEST(CancellationToken, CancelLogsAndStaysSetUntilReset)
{
    std::vector<std::string> lines;
    LogCapture capture([&](const std::string& l) { lines.push_back(l); });
    CancellationToken token;
    EXPECT_FALSE(token.cancelled());
    token.cancel();
    EXPECT_TRUE(token.cancelled());
    EXPECT_TRUE(token.cancelled());
    token.reset();
    EXPECT_FALSE(token.cancelled());
    token.reset();
    EXPECT_EQ(lines, (std::vector<std::string>{"[twk/cancel] cancelled"}));
}

TEST(CancellationToken, IsSafeToCancelAndPollFromSeveralThreads)
{
    std::vector<std::string> lines;
    LogCapture capture([&](const std::string& l) { lines.push_back(l); });
    CancellationToken token;
    std::atomic<bool> sawCancel{false};
    std::thread poller([&] {
        for (int i = 0; i < 100000 && !sawCancel; ++i)
            if (token.cancelled()) sawCancel = true;
    });
    std::thread canceller([&] {
        for (int i = 0; i < 50; ++i) token.cancel();
    });
    canceller.join();
    poller.join();
    EXPECT_TRUE(token.cancelled());
    EXPECT_EQ(lines.size(), 50u);
}

} // namespace
} // namespace twk
