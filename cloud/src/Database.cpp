#include "Database.h"

#include <sqlite3.h>

namespace quillo::cloud {

bool DatabaseError::isBusy() const
{
    int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

static void check(sqlite3 *db, int rc, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw DatabaseError(rc, std::string(what) + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

Query::~Query()
{
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

Query &Query::bind(int index, int64_t value)
{
    check(db_, sqlite3_bind_int64(stmt_, index, value), "bind");
    return *this;
}

Query &Query::bind(int index, double value)
{
    check(db_, sqlite3_bind_double(stmt_, index, value), "bind");
    return *this;
}

Query &Query::bind(int index, std::string_view value)
{
    check(db_, sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT), "bind");
    return *this;
}

Query &Query::bind(int index, const std::optional<std::string> &value)
{
    return value ? bind(index, std::string_view(*value)) : bindNull(index);
}

Query &Query::bindNull(int index)
{
    check(db_, sqlite3_bind_null(stmt_, index), "bind");
    return *this;
}

bool Query::step()
{
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw DatabaseError(rc, std::string("step: ") + sqlite3_errmsg(db_));
}

void Query::run()
{
    while (step()) {}
}

int Query::changes() const { return sqlite3_changes(db_); }
bool Query::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
int64_t Query::integer(int column) const { return sqlite3_column_int64(stmt_, column); }
double Query::real(int column) const { return sqlite3_column_double(stmt_, column); }

std::string Query::text(int column) const
{
    auto p = sqlite3_column_text(stmt_, column);
    int n = sqlite3_column_bytes(stmt_, column);
    return p ? std::string(reinterpret_cast<const char *>(p), static_cast<size_t>(n)) : std::string();
}

std::optional<std::string> Query::optionalText(int column) const
{
    if (isNull(column)) return std::nullopt;
    return text(column);
}

Connection::Connection(const std::string &path)
{
    int rc =
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError(rc, "open: " + msg);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Connection::~Connection()
{
    for (auto &[sql, stmt] : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
}

Query Connection::query(const std::string &sql)
{
    auto it = statements_.find(sql);
    if (it == statements_.end()) {
        sqlite3_stmt *stmt = nullptr;
        check(db_,
              sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                                 nullptr),
              "prepare");
        it = statements_.emplace(sql, stmt).first;
    }
    return Query(db_, it->second);
}

void Connection::exec(const std::string &sql)
{
    char *err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw DatabaseError(rc, "exec: " + msg);
    }
}

Database::Database(std::string path, int busyTimeoutMs) : path_(std::move(path)), busyTimeoutMs_(busyTimeoutMs)
{
    auto c = open();
    c->exec("PRAGMA journal_mode=WAL");
    give(std::move(c));
}

Database::~Database() = default;

std::unique_ptr<Connection> Database::open()
{
    auto c = std::make_unique<Connection>(path_);
    c->shareWriterLock(&writers_);
    sqlite3_busy_timeout(c->handle(), busyTimeoutMs_);
    // secure_delete: a purged answer or token is overwritten, not left in free pages.
    c->exec("PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL; PRAGMA secure_delete=ON;");
    return c;
}

Database::Lease Database::lease()
{
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto c = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(c));
        }
    }
    return Lease(*this, open());
}

void Database::give(std::unique_ptr<Connection> c)
{
    std::lock_guard lock(mutex_);
    if (idle_.size() < 32) idle_.push_back(std::move(c));
}

Database::Lease::~Lease()
{
    if (c_ && db_) db_->give(std::move(c_));
}

Transaction::Transaction(Connection &c, bool immediate) : c_(c)
{
    if (immediate && c_.writerLock()) writer_ = std::unique_lock(*c_.writerLock());
    c_.exec(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction()
{
    if (!done_) {
        try {
            c_.exec("ROLLBACK");
        } catch (...) {
        }
    }
}

void Transaction::commit()
{
    c_.exec("COMMIT");
    done_ = true;
}

}  // namespace quillo::cloud
