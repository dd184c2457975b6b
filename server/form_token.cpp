#include "form_token.h"

#include "secret_store.h"

#include <QByteArray>
#include <QMessageAuthenticationCode>

namespace twk::server {

FormTokens::FormTokens(SqliteDatabase& db)
{
    db.exec("CREATE TABLE IF NOT EXISTS server_keys (name TEXT PRIMARY KEY, value TEXT NOT NULL)");
    SqliteDatabase::Statement keep(db, "INSERT OR IGNORE INTO server_keys (name, value) VALUES ('form_tokens', ?1)");
    keep.bind(1, randomText()).step();
    SqliteDatabase::Statement read(db, "SELECT value FROM server_keys WHERE name = 'form_tokens'");
    read.step();
    key_ = read.textAt(0);
}

std::string FormTokens::token(std::string_view userId) const
{
    const QByteArray message = "account-page:" + QByteArray(userId.data(), qsizetype(userId.size()));
    return QMessageAuthenticationCode::hash(message, QByteArray::fromStdString(key_), QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

bool FormTokens::valid(std::string_view userId, std::string_view token) const
{
    const std::string expected = this->token(userId);
    if (token.size() != expected.size()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < token.size(); ++i) difference |= static_cast<unsigned char>(token[i] ^ expected[i]);
    return difference == 0;
}

} // namespace twk::server
