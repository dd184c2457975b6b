#include "secret_store.h"

#include "common/error.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <sys/random.h>

namespace twk::server {

std::string randomText()
{
    char bytes[32];
    for (size_t got = 0; got < sizeof bytes;) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) throw Error("twk.server.random", errno, "no random bytes from the kernel");
        got += size_t(n);
    }
    return QByteArray(bytes, sizeof bytes).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals).toStdString();
}

namespace {

std::string randomSecret() { return "twk_cs_" + randomText(); }

std::string hashOf(std::string_view secret)
{
    return QCryptographicHash::hash(QByteArray(secret.data(), qsizetype(secret.size())), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

} // namespace

SecretStore::SecretStore(SqliteDatabase& db) : db_(db)
{
    db_.exec(R"(CREATE TABLE IF NOT EXISTS client_secrets (
        secret_sha256 TEXT PRIMARY KEY,
        user_id TEXT NOT NULL,
        model TEXT NOT NULL,
        issued_at INTEGER NOT NULL,
        expires_at INTEGER NOT NULL))");
    // Every mint purges the expired ones: without it each purge reads every secret.
    db_.exec("CREATE INDEX IF NOT EXISTS client_secrets_by_expiry ON client_secrets (expires_at)");
}

SecretStore::Issued SecretStore::issue(std::string_view userId, std::string_view model, int64_t nowMs, int64_t ttlMs)
{
    Issued issued{randomSecret(), nowMs + ttlMs};
    store(issued.secret, userId, model, nowMs, issued.expiresAtMs);
    return issued;
}

void SecretStore::store(std::string_view secret, std::string_view userId, std::string_view model, int64_t nowMs, int64_t expiresAtMs)
{
    SqliteDatabase::Statement purge(db_, "DELETE FROM client_secrets WHERE expires_at <= ?1");
    purge.bind(1, nowMs).step();
    // The same secret twice (a provider that repeats itself) keeps the later grant.
    SqliteDatabase::Statement insert(db_, R"(INSERT OR REPLACE INTO client_secrets (secret_sha256, user_id, model, issued_at, expires_at)
        VALUES (?1, ?2, ?3, ?4, ?5))");
    insert.bind(1, hashOf(secret)).bind(2, userId).bind(3, model).bind(4, nowMs).bind(5, expiresAtMs).step();
}

std::optional<SecretStore::Grant> SecretStore::validate(std::string_view secret, int64_t nowMs)
{
    SqliteDatabase::Statement q(db_, "SELECT user_id, model, expires_at FROM client_secrets WHERE secret_sha256 = ?1");
    q.bind(1, hashOf(secret));
    if (!q.step() || q.int64At(2) <= nowMs) return std::nullopt;
    return Grant{q.textAt(0), q.textAt(1), q.int64At(2)};
}

} // namespace twk::server
