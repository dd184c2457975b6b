#pragma once

#include "sqlite_database.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace twk::server {

/// Seconds (and optional token counts) used per user and period, in SQLite.
class UsageStore {
public:
    /// Creates the tables on first use.
    explicit UsageStore(SqliteDatabase& db);

    double usedSeconds(std::string_view userId, int64_t periodStartMs);
    std::map<std::string, int64_t> tokens(std::string_view userId, int64_t periodStartMs);
    /// Adds a client's report to the period's counters, less the metered
    /// seconds no report has matched yet; the caller holds the transaction.
    /// Counters stop at their largest value instead of overflowing.
    void add(std::string_view userId, int64_t periodStartMs, double seconds, const std::map<std::string, int64_t>& tokens,
             int64_t nowMs);
    /// Adds seconds the server metered itself.
    void addMetered(std::string_view userId, int64_t periodStartMs, double seconds, int64_t nowMs);
    /// Seconds counted on each UTC day (keyed by the day's first instant) from
    /// `fromMs` up to but excluding `toMs`; days without usage are absent.
    std::map<int64_t, double> dailySeconds(std::string_view userId, int64_t fromMs, int64_t toMs);
    /// Whether `userId` has a counter in any period.
    bool everUsed(std::string_view userId);

    static constexpr int64_t dayMs = 24 * 3600 * 1000;

private:
    /// Books what the period's counter grew by on the day of `nowMs`.
    void addToDay(std::string_view userId, double seconds, int64_t nowMs);

    SqliteDatabase& db_;
};

} // namespace twk::server
