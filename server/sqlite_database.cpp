#include "sqlite_database.h"

#include "common/error.h"

#include <sqlite3.h>

namespace twk::server {

SqliteDatabase::SqliteDatabase(const std::string& path)
{
    const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error("twk.server.db", rc, "cannot open " + path + ": " + message);
    }
    // Another process on the same data directory waits its turn instead of failing.
    sqlite3_busy_timeout(db_, 5000);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=FULL");
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close(db_); }

void SqliteDatabase::fail(int rc, const std::string& what) const
{
    throw Error("twk.server.db", rc, what + ": " + sqlite3_errmsg(db_));
}

void SqliteDatabase::exec(const std::string& sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw Error("twk.server.db", rc, text);
    }
}

SqliteDatabase::Statement::Statement(SqliteDatabase& db, const std::string& sql) : db_(db)
{
    const int rc = sqlite3_prepare_v2(db.db_, sql.c_str(), int(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) db_.fail(rc, "prepare");
}

SqliteDatabase::Statement::~Statement() { sqlite3_finalize(stmt_); }

SqliteDatabase::Statement& SqliteDatabase::Statement::bind(int index, std::string_view text)
{
    const int rc = sqlite3_bind_text(stmt_, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) db_.fail(rc, "bind");
    return *this;
}

SqliteDatabase::Statement& SqliteDatabase::Statement::bind(int index, int64_t value)
{
    const int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK) db_.fail(rc, "bind");
    return *this;
}

SqliteDatabase::Statement& SqliteDatabase::Statement::bind(int index, double value)
{
    const int rc = sqlite3_bind_double(stmt_, index, value);
    if (rc != SQLITE_OK) db_.fail(rc, "bind");
    return *this;
}

bool SqliteDatabase::Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    db_.fail(rc, "step");
}

int64_t SqliteDatabase::Statement::int64At(int column) const { return sqlite3_column_int64(stmt_, column); }

double SqliteDatabase::Statement::doubleAt(int column) const { return sqlite3_column_double(stmt_, column); }

std::string SqliteDatabase::Statement::textAt(int column) const
{
    const auto* text = sqlite3_column_text(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), size_t(sqlite3_column_bytes(stmt_, column))) : std::string();
}

SqliteDatabase::Transaction::Transaction(SqliteDatabase& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }

SqliteDatabase::Transaction::~Transaction()
{
    if (done_) return;
    try {
        db_.exec("ROLLBACK");
    } catch (const Error&) {
        // Nothing more to undo: SQLite already rolled back on the failure that got us here.
    }
}

void SqliteDatabase::Transaction::commit()
{
    db_.exec("COMMIT");
    done_ = true;
}

} // namespace twk::server
