#pragma once

#include "sqlite_database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace twk::server {

/// 32 random bytes from the kernel as base64url text; throws twk::Error when there are none.
std::string randomText();

/// Short-lived realtime credentials. Only a hash of each secret is stored,
/// so the database file does not hand out live credentials.
class SecretStore {
public:
    struct Issued {
        std::string secret;
        int64_t expiresAtMs = 0;
    };
    struct Grant {
        std::string userId;
        std::string model;
        int64_t expiresAtMs = 0;
    };

    /// Creates the table on first use.
    explicit SecretStore(SqliteDatabase& db);

    /// A new random secret for `userId`, valid until now + ttl; expired ones
    /// are purged on the way. The caller holds the transaction.
    Issued issue(std::string_view userId, std::string_view model, int64_t nowMs, int64_t ttlMs);
    /// Keeps a secret issued elsewhere (by the hosted service) until `expiresAtMs`.
    void store(std::string_view secret, std::string_view userId, std::string_view model, int64_t nowMs, int64_t expiresAtMs);
    /// The grant behind `secret` if it was issued and has not expired.
    std::optional<Grant> validate(std::string_view secret, int64_t nowMs);

private:
    SqliteDatabase& db_;
};

} // namespace twk::server
