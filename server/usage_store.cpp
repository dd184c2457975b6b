#include "usage_store.h"

namespace twk::server {

UsageStore::UsageStore(SqliteDatabase& db) : db_(db)
{
    db_.exec(R"(CREATE TABLE IF NOT EXISTS usage (
        user_id TEXT NOT NULL,
        period_start INTEGER NOT NULL,
        used_seconds REAL NOT NULL,
        updated_at INTEGER NOT NULL,
        PRIMARY KEY (user_id, period_start)))");
    // Metered seconds that no client report has matched yet (added to older databases).
    SqliteDatabase::Statement has(db_, "SELECT COUNT(*) FROM pragma_table_info('usage') WHERE name = 'unclaimed_seconds'");
    if (has.step() && has.int64At(0) == 0)
        db_.exec("ALTER TABLE usage ADD COLUMN unclaimed_seconds REAL NOT NULL DEFAULT 0");
    db_.exec(R"(CREATE TABLE IF NOT EXISTS usage_tokens (
        user_id TEXT NOT NULL,
        period_start INTEGER NOT NULL,
        name TEXT NOT NULL,
        count INTEGER NOT NULL,
        PRIMARY KEY (user_id, period_start, name)))");
    // What each day added, for the account page's chart; the period counters stay authoritative.
    db_.exec(R"(CREATE TABLE IF NOT EXISTS usage_days (
        user_id TEXT NOT NULL,
        day_start INTEGER NOT NULL,
        seconds REAL NOT NULL,
        PRIMARY KEY (user_id, day_start)))");
}

double UsageStore::usedSeconds(std::string_view userId, int64_t periodStartMs)
{
    SqliteDatabase::Statement q(db_, "SELECT used_seconds FROM usage WHERE user_id = ?1 AND period_start = ?2");
    q.bind(1, userId).bind(2, periodStartMs);
    return q.step() ? q.doubleAt(0) : 0.0;
}

std::map<std::string, int64_t> UsageStore::tokens(std::string_view userId, int64_t periodStartMs)
{
    SqliteDatabase::Statement q(db_, "SELECT name, count FROM usage_tokens WHERE user_id = ?1 AND period_start = ?2");
    q.bind(1, userId).bind(2, periodStartMs);
    std::map<std::string, int64_t> out;
    while (q.step()) out[q.textAt(0)] = q.int64At(1);
    return out;
}

void UsageStore::add(std::string_view userId, int64_t periodStartMs, double seconds,
                     const std::map<std::string, int64_t>& tokens, int64_t nowMs)
{
    SqliteDatabase::Statement usage(db_, R"(INSERT INTO usage (user_id, period_start, used_seconds, updated_at)
        VALUES (?1, ?2, ?3, ?4)
        ON CONFLICT (user_id, period_start) DO UPDATE SET
            used_seconds = used_seconds + max(0, ?3 - unclaimed_seconds),
            unclaimed_seconds = max(0, unclaimed_seconds - ?3),
            updated_at = ?4)");
    const double before = usedSeconds(userId, periodStartMs);
    usage.bind(1, userId).bind(2, periodStartMs).bind(3, seconds).bind(4, nowMs).step();
    addToDay(userId, usedSeconds(userId, periodStartMs) - before, nowMs);
    for (const auto& [name, count] : tokens) {
        SqliteDatabase::Statement t(db_, R"(INSERT INTO usage_tokens (user_id, period_start, name, count)
            VALUES (?1, ?2, ?3, ?4)
            ON CONFLICT (user_id, period_start, name) DO UPDATE SET
                count = CASE WHEN count > 9223372036854775807 - ?4 THEN 9223372036854775807 ELSE count + ?4 END)");
        t.bind(1, userId).bind(2, periodStartMs).bind(3, name).bind(4, count).step();
    }
}

void UsageStore::addMetered(std::string_view userId, int64_t periodStartMs, double seconds, int64_t nowMs)
{
    SqliteDatabase::Statement usage(db_, R"(INSERT INTO usage (user_id, period_start, used_seconds, updated_at, unclaimed_seconds)
        VALUES (?1, ?2, ?3, ?4, ?3)
        ON CONFLICT (user_id, period_start) DO UPDATE SET
            used_seconds = used_seconds + ?3, unclaimed_seconds = unclaimed_seconds + ?3, updated_at = ?4)");
    usage.bind(1, userId).bind(2, periodStartMs).bind(3, seconds).bind(4, nowMs).step();
    addToDay(userId, seconds, nowMs);
}

void UsageStore::addToDay(std::string_view userId, double seconds, int64_t nowMs)
{
    if (!(seconds > 0)) return;
    SqliteDatabase::Statement day(db_, R"(INSERT INTO usage_days (user_id, day_start, seconds) VALUES (?1, ?2, ?3)
        ON CONFLICT (user_id, day_start) DO UPDATE SET seconds = seconds + ?3)");
    day.bind(1, userId).bind(2, nowMs - ((nowMs % dayMs) + dayMs) % dayMs).bind(3, seconds).step();
}

bool UsageStore::everUsed(std::string_view userId)
{
    SqliteDatabase::Statement q(db_, "SELECT 1 FROM usage WHERE user_id = ?1 LIMIT 1");
    q.bind(1, userId);
    return q.step();
}

std::map<int64_t, double> UsageStore::dailySeconds(std::string_view userId, int64_t fromMs, int64_t toMs)
{
    SqliteDatabase::Statement q(db_, R"(SELECT day_start, seconds FROM usage_days
        WHERE user_id = ?1 AND day_start >= ?2 AND day_start < ?3)");
    q.bind(1, userId).bind(2, fromMs).bind(3, toMs);
    std::map<int64_t, double> out;
    while (q.step()) out[q.int64At(0)] = q.doubleAt(1);
    return out;
}

} // namespace twk::server
