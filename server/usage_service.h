#pragma once

#include "account_links.h"
#include "secret_store.h"
#include "sqlite_database.h"
#include "usage_store.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace twk::server {

/// The plan every anonymous installation gets.
struct Plan {
    std::string name = "free";
    double quotaSeconds = 15 * 60; // 0: unlimited, metered but never refused
};

struct UsageStatus {
    std::string plan;
    double quotaSeconds = 0;
    double usedSeconds = 0;
    double remainingSeconds = 0;
    int64_t resetAtMs = 0; // start of the next period
    std::map<std::string, int64_t> tokens;
    std::optional<std::string> linkedLabel; // the name or e-mail attached on the account page
};

/// Seconds used on one UTC day.
struct DayUsage {
    int64_t dayStartMs = 0;
    double seconds = 0;
};

/// Usage accounting and credentials: the backend's rules on top of the stores.
/// Each operation is one transaction.
class UsageService {
public:
    struct Settings {
        Plan plan;
        std::string model;
        int64_t secretTtlMs = 10 * 60 * 1000;
    };
    struct Granted {
        SecretStore::Issued secret;
        std::string model;
        UsageStatus status;
    };
    struct Refused {
        UsageStatus status;
    };

    UsageService(SqliteDatabase& db, Settings settings, std::function<int64_t()> nowMs);

    /// A credential, or a refusal when the period's quota is used up.
    std::variant<Granted, Refused> mint(const std::string& userId);
    /// The quota check of a mint whose credential comes from elsewhere (the
    /// hosted service): the refusal, or nothing when a credential may be had.
    std::optional<Refused> refusal(const std::string& userId);
    /// Keeps a credential minted elsewhere for `userId`, so that it opens the
    /// realtime endpoint here until `expiresAtMs`.
    Granted adopt(const std::string& userId, const std::string& secret, int64_t expiresAtMs);
    UsageStatus status(const std::string& userId);
    /// Seconds the client reports. Those the server metered itself and that
    /// no report has matched yet absorb the report first, so a session that
    /// is both metered and reported counts once, at the larger of the two.
    UsageStatus track(const std::string& userId, double seconds, const std::map<std::string, int64_t>& tokens);
    /// Connected time the server measured on a realtime session.
    UsageStatus meter(const std::string& userId, double seconds);
    std::optional<SecretStore::Grant> validateSecret(std::string_view secret);
    /// Attaches a label that passed `checkedLabel`; replaces any earlier one.
    UsageStatus link(const std::string& userId, const std::string& label);
    UsageStatus unlink(const std::string& userId);
    /// The last `days` UTC days, oldest first, today last, each with its seconds (0 for none).
    std::vector<DayUsage> dailyUsage(const std::string& userId, int days);
    /// Whether any usage was ever recorded for `userId`, in any period.
    bool everUsed(const std::string& userId);

    const Settings& settings() const { return settings_; }
    int64_t now() const { return nowMs_(); }

private:
    UsageStatus read(const std::string& userId, int64_t nowMs);

    SqliteDatabase& db_;
    UsageStore usage_;
    AccountLinks links_;
    SecretStore secrets_;
    Settings settings_;
    std::function<int64_t()> nowMs_;
};

} // namespace twk::server
