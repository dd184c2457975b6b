#include "usage_period.h"

#include <gtest/gtest.h>

#include <ctime>

namespace twk::server {
namespace {

int64_t utcMs(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return int64_t(timegm(&t)) * 1000;
}

TEST(UsagePeriod, IsTheCalendarMonthInUtc)
{
    EXPECT_EQ(monthlyPeriod(utcMs(2025, 6, 17, 13, 45)), (UsagePeriod{utcMs(2025, 6, 1), utcMs(2025, 7, 1)}));
    // The first instant belongs to the new month, the last millisecond to the old one.
    EXPECT_EQ(monthlyPeriod(utcMs(2025, 7, 1)).startMs, utcMs(2025, 7, 1));
    EXPECT_EQ(monthlyPeriod(utcMs(2025, 7, 1) - 1).endMs, utcMs(2025, 7, 1));
    EXPECT_EQ(monthlyPeriod(utcMs(2025, 12, 31, 23, 59, 59)), (UsagePeriod{utcMs(2025, 12, 1), utcMs(2026, 1, 1)}));
    EXPECT_EQ(monthlyPeriod(utcMs(2024, 2, 29, 12)), (UsagePeriod{utcMs(2024, 2, 1), utcMs(2024, 3, 1)}));
    EXPECT_EQ(monthlyPeriod(0), (UsagePeriod{0, utcMs(1970, 2, 1)}));
}

} // namespace
} // namespace twk::server
