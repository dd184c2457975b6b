#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace twk::server {

/// One SQLite connection. Failures throw twk::Error ("twk.server.db") with
/// SQLite's message. Used from one thread.
class SqliteDatabase {
public:
    /// Opens (creating if needed) the database file.
    explicit SqliteDatabase(const std::string& path);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void exec(const std::string& sql);

    /// A prepared statement; bind parameters from 1, read columns from 0.
    class Statement {
    public:
        Statement(SqliteDatabase& db, const std::string& sql);
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

        Statement& bind(int index, std::string_view text);
        Statement& bind(int index, int64_t value);
        Statement& bind(int index, double value);
        /// Runs to the next row; false when done.
        bool step();
        int64_t int64At(int column) const;
        double doubleAt(int column) const;
        std::string textAt(int column) const;

    private:
        SqliteDatabase& db_;
        sqlite3_stmt* stmt_ = nullptr;
    };

    /// BEGIN IMMEDIATE on construction; rolled back unless committed.
    class Transaction {
    public:
        explicit Transaction(SqliteDatabase& db);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        SqliteDatabase& db_;
        bool done_ = false;
    };

private:
    [[noreturn]] void fail(int rc, const std::string& what) const;

    sqlite3* db_ = nullptr;
};

} // namespace twk::server
