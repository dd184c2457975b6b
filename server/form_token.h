#pragma once

#include "sqlite_database.h"

#include <string>
#include <string_view>

namespace twk::server {

/// Tokens the account page puts in its forms: a keyed hash of the
/// installation identifier, so a form posted from elsewhere cannot carry a
/// valid one and a token for one installation opens no other. The key is
/// random, made once and kept in the database, so pages stay valid across restarts.
class FormTokens {
public:
    explicit FormTokens(SqliteDatabase& db);

    std::string token(std::string_view userId) const;
    /// Compares in constant time.
    bool valid(std::string_view userId, std::string_view token) const;

private:
    std::string key_;
};

} // namespace twk::server
