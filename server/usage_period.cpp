#include "usage_period.h"

#include <chrono>

namespace twk::server {

UsagePeriod monthlyPeriod(int64_t nowMs)
{
    using namespace std::chrono;
    const sys_time<milliseconds> now{milliseconds(nowMs)};
    const year_month_day day{floor<days>(now)};
    const year_month month = day.year() / day.month();
    const year_month next = month + months(1);
    const auto startOf = [](year_month ym) {
        return duration_cast<milliseconds>(sys_days(ym / 1).time_since_epoch()).count();
    };
    return {startOf(month), startOf(next)};
}

} // namespace twk::server
