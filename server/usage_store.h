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
    /// Adds to the period's counters; the caller holds the transaction.
    void add(std::string_view userId, int64_t periodStartMs, double seconds, const std::map<std::string, int64_t>& tokens,
             int64_t nowMs);

private:
    SqliteDatabase& db_;
};

} // namespace twk::server
