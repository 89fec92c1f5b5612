#pragma once
// PostgreSQL through libpq: several servers share one database. Write transactions run
// serializable, so that each invariant holds as if they ran one after another; the store runs a
// transaction again when PostgreSQL reports that it lost a race (see DatabaseError::isRetryable).
#include "Database.h"

#include <string>

namespace quillo::cloud {

struct PostgresSettings {
    std::string url;       // postgresql://user@host:port/dbname, never with a password
    std::string password;  // empty: libpq's own sources (PGPASSWORD, ~/.pgpass)
    std::string schema;    // empty: the database's default search path
    size_t maxConnections = 16;
};

// Why a URL cannot be used (it carries a password, or is not a PostgreSQL URL); empty if it can.
std::string postgresUrlProblem(const std::string &url);
bool isPostgresUrl(const std::string &url);
bool validSchemaName(const std::string &schema);

class PostgresDatabase : public Database {
public:
    explicit PostgresDatabase(PostgresSettings settings);
    Dialect dialect() const override { return Dialect::postgres; }
    std::string name() const override { return "postgresql"; }
    const std::string &schema() const { return settings_.schema; }

protected:
    std::unique_ptr<Connection> open() override;

private:
    PostgresSettings settings_;
};

}  // namespace quillo::cloud
