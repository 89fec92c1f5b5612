#pragma once
// Database access behind one interface, whichever database holds the store: a pool of
// connections (one in use per thread at a time), each with its own cache of prepared
// statements, and RAII transactions. SqliteDatabase and PostgresDatabase implement it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillo::cloud {

enum class Dialect { sqlite, postgres };

class DatabaseError : public std::runtime_error {
public:
    DatabaseError(int code, const std::string &what, std::string sqlState = {})
        : std::runtime_error(what), code(code), sqlState(std::move(sqlState))
    {
    }
    // Another writer holds what this one needs: come back shortly.
    bool isBusy() const;
    // The transaction lost a race with another one and can simply run again (serialization
    // failure or deadlock); nothing of it was kept.
    bool isRetryable() const { return sqlState == "40001" || sqlState == "40P01"; }
    // A unique key already holds the value written (an address taken, say).
    bool isUniqueViolation() const;
    int code;              // SQLite's result code; 0 for PostgreSQL
    std::string sqlState;  // PostgreSQL's SQLSTATE; empty for SQLite
};

// One prepared statement of a connection, reused by every Query of the same text.
class Statement {
public:
    virtual ~Statement() = default;
    virtual void bind(int index, int64_t value) = 0;
    virtual void bind(int index, double value) = 0;
    virtual void bind(int index, std::string_view value) = 0;
    virtual void bindNull(int index) = 0;
    virtual bool step() = 0;
    virtual int changes() const = 0;
    virtual bool isNull(int column) const = 0;
    virtual int64_t integer(int column) const = 0;
    virtual double real(int column) const = 0;
    virtual std::string text(int column) const = 0;
    virtual void reset() = 0;
};

class Query {
public:
    explicit Query(Statement *stmt) : stmt_(stmt) {}
    Query(const Query &) = delete;
    Query(Query &&other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
    ~Query()
    {
        if (stmt_) stmt_->reset();
    }

    Query &bind(int index, int64_t value)
    {
        stmt_->bind(index, value);
        return *this;
    }
    Query &bind(int index, int value) { return bind(index, static_cast<int64_t>(value)); }
    Query &bind(int index, double value)
    {
        stmt_->bind(index, value);
        return *this;
    }
    Query &bind(int index, std::string_view value)
    {
        stmt_->bind(index, value);
        return *this;
    }
    Query &bind(int index, const char *value) { return bind(index, std::string_view(value)); }
    Query &bind(int index, const std::string &value) { return bind(index, std::string_view(value)); }
    Query &bind(int index, const std::optional<std::string> &value)
    {
        return value ? bind(index, std::string_view(*value)) : bindNull(index);
    }
    Query &bindNull(int index)
    {
        stmt_->bindNull(index);
        return *this;
    }

    bool step() { return stmt_->step(); }  // true while a row is available
    void run()                             // step to completion
    {
        while (step()) {}
    }
    int changes() const { return stmt_->changes(); }

    bool isNull(int column) const { return stmt_->isNull(column); }
    int64_t integer(int column) const { return stmt_->integer(column); }
    double real(int column) const { return stmt_->real(column); }
    std::string text(int column) const { return stmt_->text(column); }
    std::optional<std::string> optionalText(int column) const
    {
        if (isNull(column)) return std::nullopt;
        return text(column);
    }

private:
    Statement *stmt_;
};

class Connection {
public:
    virtual ~Connection() = default;
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    Query query(const std::string &sql);  // prepared once per connection
    virtual void exec(const std::string &sql) = 0;
    virtual Dialect dialect() const = 0;
    // A connection that lost its server goes instead of back to the pool.
    virtual bool usable() const { return true; }

    // Write transactions are serialised (SQLite: one writer; PostgreSQL: serializable).
    virtual void begin(bool write) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Tests: fail this transaction as one that lost a race (SQLSTATE 40001) would.
    virtual void failAsConflict() = 0;
    // A lock of this session, outside any transaction, that others taking the same key wait for.
    // SQLite has one writer already: nothing to do there.
    virtual void lockKey(int64_t /*key*/) {}
    virtual void unlockKey(int64_t /*key*/) {}
    bool takeInjectedConflict();
    void shareInjectedConflicts(std::atomic<int> *count) { injected_ = count; }

protected:
    virtual std::unique_ptr<Statement> prepare(const std::string &sql) = 0;
    void forgetStatements() { statements_.clear(); }

private:
    std::unordered_map<std::string, std::unique_ptr<Statement>> statements_;
    std::atomic<int> *injected_ = nullptr;
};

class Database {
public:
    // maxConnections 0: unbounded (the pool keeps at most 32 idle).
    explicit Database(size_t maxConnections = 0) : maxConnections_(maxConnections) {}
    virtual ~Database() = default;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    class Lease {
    public:
        Lease(Database &db, std::unique_ptr<Connection> c) : db_(&db), c_(std::move(c)) {}
        Lease(Lease &&) = default;
        ~Lease();
        Connection *operator->() const { return c_.get(); }
        Connection &operator*() const { return *c_; }

    private:
        Database *db_;
        std::unique_ptr<Connection> c_;
    };
    // Waits for a connection while the pool is at its bound; throws a busy DatabaseError when
    // none comes free in time.
    Lease lease();

    virtual Dialect dialect() const = 0;
    virtual std::string name() const = 0;  // "sqlite" or "postgresql", for health and logs

    // Tests: the next this many write transactions fail at their commit as having lost a race.
    std::atomic<int> injectedConflicts{0};

protected:
    virtual std::unique_ptr<Connection> open() = 0;
    void keep(std::unique_ptr<Connection> c);  // for a connection opened by the constructor

private:
    void give(std::unique_ptr<Connection> c);

    size_t maxConnections_;
    size_t open_ = 0;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<std::unique_ptr<Connection>> idle_;
};

// Rolls back unless commit() ran.
class Transaction {
public:
    Transaction(Connection &c, bool write);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Connection &c_;
    bool done_ = false;
};

// Makes the write transactions of one account queue instead of abort each other: held from before
// the transaction's snapshot exists (declare it before the Transaction) until after it ends, so
// each one reads what the one before it committed. Instances sharing a database share the lock.
class AccountLock {
public:
    AccountLock(Connection &c, std::string_view accountId);
    ~AccountLock();
    AccountLock(const AccountLock &) = delete;
    AccountLock &operator=(const AccountLock &) = delete;
    static int64_t keyOf(std::string_view accountId);

private:
    Connection &c_;
    int64_t key_;
};

}  // namespace quillo::cloud
