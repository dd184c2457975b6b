#include "usage_service.h"

#include "usage_period.h"

#include <algorithm>

namespace twk::server {

UsageService::UsageService(SqliteDatabase& db, Settings settings, std::function<int64_t()> nowMs)
    : db_(db), usage_(db), links_(db), secrets_(db), settings_(std::move(settings)), nowMs_(std::move(nowMs))
{
}

UsageStatus UsageService::read(const std::string& userId, int64_t nowMs)
{
    const UsagePeriod period = monthlyPeriod(nowMs);
    UsageStatus s;
    s.plan = settings_.plan.name;
    s.quotaSeconds = settings_.plan.quotaSeconds;
    s.usedSeconds = usage_.usedSeconds(userId, period.startMs);
    // A report may take it past the quota: never below zero. Unlimited time
    // is still bounded by what is left of the month.
    s.remainingSeconds = s.quotaSeconds > 0 ? std::max(0.0, s.quotaSeconds - s.usedSeconds)
                                            : std::max(1.0, double(period.endMs - nowMs) / 1000);
    s.resetAtMs = period.endMs;
    s.tokens = usage_.tokens(userId, period.startMs);
    s.linkedLabel = links_.label(userId);
    return s;
}

std::variant<UsageService::Granted, UsageService::Refused> UsageService::mint(const std::string& userId)
{
    const int64_t now = nowMs_();
    SqliteDatabase::Transaction tx(db_);
    UsageStatus status = read(userId, now);
    if (status.remainingSeconds <= 0) return Refused{std::move(status)};
    Granted granted{secrets_.issue(userId, settings_.model, now, settings_.secretTtlMs), settings_.model, std::move(status)};
    tx.commit();
    return granted;
}

std::optional<UsageService::Refused> UsageService::refusal(const std::string& userId)
{
    UsageStatus status = read(userId, nowMs_());
    if (status.remainingSeconds > 0) return std::nullopt;
    return Refused{std::move(status)};
}

UsageService::Granted UsageService::adopt(const std::string& userId, const std::string& secret, int64_t expiresAtMs)
{
    const int64_t now = nowMs_();
    SqliteDatabase::Transaction tx(db_);
    secrets_.store(secret, userId, settings_.model, now, expiresAtMs);
    Granted granted{{secret, expiresAtMs}, settings_.model, read(userId, now)};
    tx.commit();
    return granted;
}

UsageStatus UsageService::status(const std::string& userId) { return read(userId, nowMs_()); }

UsageStatus UsageService::track(const std::string& userId, double seconds, const std::map<std::string, int64_t>& tokens)
{
    const int64_t now = nowMs_();
    SqliteDatabase::Transaction tx(db_);
    usage_.add(userId, monthlyPeriod(now).startMs, seconds, tokens, now);
    UsageStatus status = read(userId, now);
    tx.commit();
    return status;
}

UsageStatus UsageService::meter(const std::string& userId, double seconds)
{
    const int64_t now = nowMs_();
    SqliteDatabase::Transaction tx(db_);
    usage_.addMetered(userId, monthlyPeriod(now).startMs, seconds, now);
    UsageStatus status = read(userId, now);
    tx.commit();
    return status;
}

std::optional<SecretStore::Grant> UsageService::validateSecret(std::string_view secret)
{
    return secrets_.validate(secret, nowMs_());
}

UsageStatus UsageService::link(const std::string& userId, const std::string& label)
{
    const int64_t now = nowMs_();
    SqliteDatabase::Transaction tx(db_);
    links_.link(userId, label, now);
    UsageStatus status = read(userId, now);
    tx.commit();
    return status;
}

UsageStatus UsageService::unlink(const std::string& userId)
{
    const int64_t now = nowMs_();
    SqliteDatabase::Transaction tx(db_);
    links_.unlink(userId);
    UsageStatus status = read(userId, now);
    tx.commit();
    return status;
}

bool UsageService::everUsed(const std::string& userId) { return usage_.everUsed(userId); }

std::vector<DayUsage> UsageService::dailyUsage(const std::string& userId, int days)
{
    constexpr int64_t dayMs = UsageStore::dayMs;
    const int64_t now = nowMs_();
    const int64_t today = now - ((now % dayMs) + dayMs) % dayMs;
    const int64_t first = today - int64_t(days - 1) * dayMs;
    const auto recorded = usage_.dailySeconds(userId, first, today + dayMs);
    std::vector<DayUsage> out;
    for (int64_t day = first; day <= today; day += dayMs) {
        const auto it = recorded.find(day);
        out.push_back({day, it == recorded.end() ? 0.0 : it->second});
    }
    return out;
}

} // namespace twk::server
