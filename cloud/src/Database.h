#pragma once
// SQLite access: a pool of connections (one in use per thread at a time), each with its own
// cache of prepared statements, and RAII transactions. WAL mode lets readers run beside the
// one writer; BEGIN IMMEDIATE plus a busy timeout serialises writers without deadlocks.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quillo::cloud {

class DatabaseError : public std::runtime_error {
public:
    DatabaseError(int code, const std::string &what) : std::runtime_error(what), code(code) {}
    bool isBusy() const;
    int code;
};

class Query {
public:
    Query(sqlite3 *db, sqlite3_stmt *stmt) : db_(db), stmt_(stmt) {}
    Query(const Query &) = delete;
    Query(Query &&other) noexcept : db_(other.db_), stmt_(other.stmt_) { other.stmt_ = nullptr; }
    ~Query();

    Query &bind(int index, int64_t value);
    Query &bind(int index, int value) { return bind(index, static_cast<int64_t>(value)); }
    Query &bind(int index, double value);
    Query &bind(int index, std::string_view value);
    Query &bind(int index, const char *value) { return bind(index, std::string_view(value)); }
    Query &bind(int index, const std::string &value) { return bind(index, std::string_view(value)); }
    Query &bind(int index, const std::optional<std::string> &value);
    Query &bindNull(int index);

    bool step();  // true while a row is available
    void run();   // step to completion
    int changes() const;

    bool isNull(int column) const;
    int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    std::optional<std::string> optionalText(int column) const;

private:
    sqlite3 *db_;
    sqlite3_stmt *stmt_;
};

class Connection {
public:
    explicit Connection(const std::string &path);
    ~Connection();
    Connection(const Connection &) = delete;

    Query query(const std::string &sql);  // prepared once per connection
    void exec(const std::string &sql);
    sqlite3 *handle() const { return db_; }
    // Held by this process's write transactions on the same database (see Transaction).
    std::recursive_mutex *writerLock() const { return writers_; }
    void shareWriterLock(std::recursive_mutex *writers) { writers_ = writers; }

private:
    sqlite3 *db_ = nullptr;
    std::recursive_mutex *writers_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt *> statements_;
};

class Database {
public:
    explicit Database(std::string path, int busyTimeoutMs = 5000);
    ~Database();

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
    Lease lease();

    const std::string &path() const { return path_; }

private:
    void give(std::unique_ptr<Connection> c);
    std::unique_ptr<Connection> open();

    std::string path_;
    int busyTimeoutMs_;
    std::recursive_mutex writers_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
};

// Rolls back unless commit() ran. Write (immediate) transactions of one process queue for each
// other on the connection's writer lock instead of meeting in SQLite's busy handler, which
// sleeps a millisecond and more at each retry: under load that was most of a request's tail.
class Transaction {
public:
    Transaction(Connection &c, bool immediate);
    ~Transaction();
    void commit();

private:
    Connection &c_;
    std::unique_lock<std::recursive_mutex> writer_;
    bool done_ = false;
};

}  // namespace quillo::cloud
