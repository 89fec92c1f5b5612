#include "PostgresDatabase.h"

#include <libpq-fe.h>

#include <cstdlib>

namespace quillo::cloud {

namespace {

[[noreturn]] void fail(PGconn *conn, const PGresult *res, const std::string &what)
{
    const char *state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
    // Only the primary message: the detail of a constraint's failure quotes the row (an address,
    // a hash), and errors reach the log.
    const char *primary = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    std::string message = primary ? primary : PQerrorMessage(conn);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    // A lost server reports no state; it is no conflict to retry.
    throw DatabaseError(0, what + ": " + message, state ? state : "08006");
}

// SQLite's "?" and "?N" parameters as PostgreSQL's "$N"; quoted text is left alone.
std::string numberedParameters(const std::string &sql, int &count)
{
    std::string out;
    out.reserve(sql.size() + 8);
    int next = 0;
    char quote = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        char ch = sql[i];
        if (quote) {
            if (ch == quote) quote = 0;
            out += ch;
        } else if (ch == '\'' || ch == '"') {
            quote = ch;
            out += ch;
        } else if (ch == '?') {
            size_t j = i + 1;
            while (j < sql.size() && sql[j] >= '0' && sql[j] <= '9') ++j;
            int n = j > i + 1 ? std::atoi(sql.substr(i + 1, j - i - 1).c_str()) : ++next;
            count = std::max(count, n);
            out += "$" + std::to_string(n);
            i = j - 1;
        } else {
            out += ch;
        }
    }
    return out;
}

class PostgresStatement : public Statement {
public:
    PostgresStatement(PGconn *conn, std::string name, const std::string &sql) : conn_(conn), name_(std::move(name))
    {
        int count = 0;
        sql_ = numberedParameters(sql, count);
        values_.resize(static_cast<size_t>(count));
    }
    ~PostgresStatement() override { PQclear(result_); }
    PostgresStatement(const PostgresStatement &) = delete;
    PostgresStatement &operator=(const PostgresStatement &) = delete;

    void bind(int index, int64_t value) override { slot(index) = std::to_string(value); }
    void bind(int index, double value) override { slot(index) = std::to_string(value); }
    void bind(int index, std::string_view value) override { slot(index) = std::string(value); }
    void bindNull(int index) override { slot(index).reset(); }

    bool step() override
    {
        if (!result_) execute();
        return ++row_ < PQntuples(result_);
    }
    int changes() const override
    {
        const char *n = result_ ? PQcmdTuples(result_) : "";
        return *n ? std::atoi(n) : 0;
    }
    bool isNull(int column) const override { return PQgetisnull(result_, row_, column) != 0; }
    int64_t integer(int column) const override
    {
        const char *v = PQgetvalue(result_, row_, column);
        if (v[0] == 't' && v[1] == 0) return 1;  // a boolean
        if (v[0] == 'f' && v[1] == 0) return 0;
        return std::strtoll(v, nullptr, 10);
    }
    double real(int column) const override { return std::strtod(PQgetvalue(result_, row_, column), nullptr); }
    std::string text(int column) const override
    {
        return {PQgetvalue(result_, row_, column), static_cast<size_t>(PQgetlength(result_, row_, column))};
    }
    void reset() override
    {
        PQclear(result_);
        result_ = nullptr;
        row_ = -1;
        for (auto &v : values_) v.reset();
    }

private:
    std::optional<std::string> &slot(int index)
    {
        if (index < 1 || static_cast<size_t>(index) > values_.size())
            throw DatabaseError(0, "bind: no parameter " + std::to_string(index), "42P02");
        return values_[static_cast<size_t>(index) - 1];
    }

    void execute()
    {
        if (!prepared_) {
            PGresult *p = PQprepare(conn_, name_.c_str(), sql_.c_str(), static_cast<int>(values_.size()), nullptr);
            if (PQresultStatus(p) != PGRES_COMMAND_OK) {
                try {
                    fail(conn_, p, "prepare");
                } catch (...) {
                    PQclear(p);
                    throw;
                }
            }
            PQclear(p);
            prepared_ = true;
        }
        std::vector<const char *> params;
        std::vector<int> lengths;
        for (auto &v : values_) {
            params.push_back(v ? v->data() : nullptr);
            lengths.push_back(v ? static_cast<int>(v->size()) : 0);
        }
        result_ = PQexecPrepared(conn_, name_.c_str(), static_cast<int>(params.size()), params.data(), lengths.data(),
                                 nullptr, 0);
        auto status = PQresultStatus(result_);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            PGresult *failed = result_;
            result_ = nullptr;
            try {
                fail(conn_, failed, "query");
            } catch (...) {
                PQclear(failed);
                throw;
            }
        }
        row_ = -1;
    }

    PGconn *conn_;
    std::string name_, sql_;
    std::vector<std::optional<std::string>> values_;
    PGresult *result_ = nullptr;
    int row_ = -1;
    bool prepared_ = false;
};

class PostgresConnection : public Connection {
public:
    explicit PostgresConnection(PGconn *conn) : conn_(conn) {}
    ~PostgresConnection() override
    {
        forgetStatements();
        PQfinish(conn_);
    }
    PostgresConnection(const PostgresConnection &) = delete;
    PostgresConnection &operator=(const PostgresConnection &) = delete;

    Dialect dialect() const override { return Dialect::postgres; }
    bool usable() const override { return PQstatus(conn_) == CONNECTION_OK && !broken_; }

    void exec(const std::string &sql) override
    {
        PGresult *res = PQexec(conn_, sql.c_str());
        auto status = PQresultStatus(res);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            try {
                fail(conn_, res, "exec");
            } catch (const DatabaseError &e) {
                PQclear(res);
                if (e.sqlState.rfind("08", 0) == 0) broken_ = true;
                throw;
            }
        }
        PQclear(res);
    }

    void begin(bool write) override
    {
        exec(write ? "BEGIN ISOLATION LEVEL SERIALIZABLE" : "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }
    void commit() override { exec("COMMIT"); }
    void rollback() override
    {
        try {
            exec("ROLLBACK");
        } catch (...) {
            broken_ = true;  // a connection left in a transaction must not serve another request
            throw;
        }
    }

    // Raised by the server itself, so the transaction is aborted there as a real conflict's is.
    void failAsConflict() override
    {
        exec("DO $$BEGIN RAISE EXCEPTION 'conflict injected by a test' USING ERRCODE = 'serialization_failure'; "
             "END$$");
    }

    // Session-level, so it can be taken before BEGIN: a lock taken inside a serializable
    // transaction would come after its snapshot, and the waiter would still lose. Gone with the
    // session when the connection is lost.
    void lockKey(int64_t key) override { exec("SELECT pg_advisory_lock(" + std::to_string(key) + ")"); }
    void unlockKey(int64_t key) override
    {
        try {
            exec("SELECT pg_advisory_unlock(" + std::to_string(key) + ")");
        } catch (...) {
            broken_ = true;  // a lock left held must not go back to the pool with its connection
            throw;
        }
    }

protected:
    std::unique_ptr<Statement> prepare(const std::string &sql) override
    {
        return std::make_unique<PostgresStatement>(conn_, "q" + std::to_string(++statementCount_), sql);
    }

private:
    PGconn *conn_;
    int statementCount_ = 0;
    bool broken_ = false;
};

}  // namespace

bool isPostgresUrl(const std::string &url)
{
    return url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0;
}

std::string postgresUrlProblem(const std::string &url)
{
    if (!isPostgresUrl(url)) return "--database takes a path, sqlite:PATH or postgresql://user@host:port/dbname";
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(url.c_str(), &error);
    if (!options) {
        std::string message = error ? error : "unreadable";
        PQfreemem(error);
        while (!message.empty() && message.back() == '\n') message.pop_back();
        return "--database: " + message;
    }
    bool password = false;
    for (auto *o = options; o->keyword; ++o)
        if (std::string(o->keyword) == "password" && o->val && *o->val) password = true;
    PQconninfoFree(options);
    if (password)
        return "--database must not carry a password (anyone can read a command line): give it with "
               "--database-password-file or QUILLO_DATABASE_PASSWORD";
    return {};
}

bool validSchemaName(const std::string &schema)
{
    if (schema.empty() || schema.size() > 63 || (schema[0] >= '0' && schema[0] <= '9')) return false;
    for (char ch : schema)
        if (!((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_')) return false;
    return true;
}

PostgresDatabase::PostgresDatabase(PostgresSettings settings)
    : Database(settings.maxConnections), settings_(std::move(settings))
{
    keep(open());  // an unreachable database stops the start at once
}

std::unique_ptr<Connection> PostgresDatabase::open()
{
    std::vector<const char *> keys = {"dbname", "application_name", "connect_timeout"};
    std::vector<const char *> values = {settings_.url.c_str(), "quillo-cloud", "5"};
    if (!settings_.password.empty()) {
        keys.push_back("password");
        values.push_back(settings_.password.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn *conn = PQconnectdbParams(keys.data(), values.data(), 1);
    if (!conn) throw DatabaseError(0, "connect: out of memory", "08001");
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string message = PQerrorMessage(conn);
        PQfinish(conn);
        while (!message.empty() && message.back() == '\n') message.pop_back();
        throw DatabaseError(0, "connect: " + message, "08001");
    }
    // Notices ("schema already exists, skipping") would go to standard error outside the log.
    PQsetNoticeProcessor(
        conn, [](void *, const char *) {}, nullptr);
    auto c = std::make_unique<PostgresConnection>(conn);
    // Times are the server's clock, never the database's; the schema named by the settings
    // holds every table (its name is checked to be a plain identifier).
    if (!settings_.schema.empty()) c->exec("SET search_path TO " + settings_.schema);
    return c;
}

}  // namespace quillo::cloud
