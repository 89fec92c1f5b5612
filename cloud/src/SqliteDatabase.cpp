#include "SqliteDatabase.h"

#include <sqlite3.h>

namespace quillo::cloud {

namespace {

void check(sqlite3 *db, int rc, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw DatabaseError(rc, std::string(what) + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

class SqliteStatement : public Statement {
public:
    SqliteStatement(sqlite3 *db, sqlite3_stmt *stmt) : db_(db), stmt_(stmt) {}
    ~SqliteStatement() override { sqlite3_finalize(stmt_); }
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    void bind(int index, int64_t value) override { check(db_, sqlite3_bind_int64(stmt_, index, value), "bind"); }
    void bind(int index, double value) override { check(db_, sqlite3_bind_double(stmt_, index, value), "bind"); }
    void bind(int index, std::string_view value) override
    {
        check(db_, sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT),
              "bind");
    }
    void bindNull(int index) override { check(db_, sqlite3_bind_null(stmt_, index), "bind"); }

    bool step() override
    {
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw DatabaseError(rc, std::string("step: ") + sqlite3_errmsg(db_));
    }
    int changes() const override { return sqlite3_changes(db_); }
    bool isNull(int column) const override { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    int64_t integer(int column) const override { return sqlite3_column_int64(stmt_, column); }
    double real(int column) const override { return sqlite3_column_double(stmt_, column); }
    std::string text(int column) const override
    {
        auto p = sqlite3_column_text(stmt_, column);
        int n = sqlite3_column_bytes(stmt_, column);
        return p ? std::string(reinterpret_cast<const char *>(p), static_cast<size_t>(n)) : std::string();
    }
    void reset() override
    {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

private:
    sqlite3 *db_;
    sqlite3_stmt *stmt_;
};

class SqliteConnection : public Connection {
public:
    SqliteConnection(const std::string &path, std::recursive_mutex &writers) : writers_(writers)
    {
        int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc != SQLITE_OK) {
            std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close(db_);
            db_ = nullptr;
            throw DatabaseError(rc, "open: " + msg);
        }
        sqlite3_extended_result_codes(db_, 1);
    }
    ~SqliteConnection() override
    {
        forgetStatements();  // finalized before the database closes
        sqlite3_close(db_);
    }
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    sqlite3 *handle() const { return db_; }
    Dialect dialect() const override { return Dialect::sqlite; }

    void exec(const std::string &sql) override
    {
        char *err = nullptr;
        int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
        if (rc != SQLITE_OK) {
            std::string msg = err ? err : sqlite3_errstr(rc);
            sqlite3_free(err);
            throw DatabaseError(rc, "exec: " + msg);
        }
    }

    void begin(bool write) override
    {
        if (write) writer_ = std::unique_lock(writers_);
        try {
            exec(write ? "BEGIN IMMEDIATE" : "BEGIN");
        } catch (...) {
            if (writer_.owns_lock()) writer_.unlock();
            throw;
        }
    }
    void commit() override
    {
        exec("COMMIT");
        if (writer_.owns_lock()) writer_.unlock();
    }
    void rollback() override
    {
        try {
            exec("ROLLBACK");
        } catch (...) {
            if (writer_.owns_lock()) writer_.unlock();
            throw;
        }
        if (writer_.owns_lock()) writer_.unlock();
    }

    void failAsConflict() override { throw DatabaseError(0, "conflict injected by a test", "40001"); }

protected:
    std::unique_ptr<Statement> prepare(const std::string &sql) override
    {
        sqlite3_stmt *stmt = nullptr;
        check(db_,
              sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                                 nullptr),
              "prepare");
        return std::make_unique<SqliteStatement>(db_, stmt);
    }

private:
    sqlite3 *db_ = nullptr;
    std::recursive_mutex &writers_;
    std::unique_lock<std::recursive_mutex> writer_;
};

}  // namespace

SqliteDatabase::SqliteDatabase(std::string path, int busyTimeoutMs)
    : path_(std::move(path)), busyTimeoutMs_(busyTimeoutMs)
{
    auto c = open();
    c->exec("PRAGMA journal_mode=WAL");
    keep(std::move(c));
}

std::unique_ptr<Connection> SqliteDatabase::open()
{
    auto c = std::make_unique<SqliteConnection>(path_, writers_);
    sqlite3_busy_timeout(c->handle(), busyTimeoutMs_);
    // secure_delete: a purged answer or token is overwritten, not left in free pages.
    c->exec("PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL; PRAGMA secure_delete=ON;");
    return c;
}

}  // namespace quillo::cloud
