#pragma once

#include <cstdint>

namespace twk::server {

/// A quota period: one calendar month in UTC, as milliseconds since the Unix epoch.
struct UsagePeriod {
    int64_t startMs = 0; // first instant of the month
    int64_t endMs = 0;   // first instant of the next month: when the quota resets

    friend bool operator==(const UsagePeriod&, const UsagePeriod&) = default;
};

/// The period that holds `nowMs`.
UsagePeriod monthlyPeriod(int64_t nowMs);

} // namespace twk::server
