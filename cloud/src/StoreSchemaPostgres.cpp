// The store's PostgreSQL schema and its migrations. Several servers may start together on one
// database: an advisory lock lets one migrate while the others wait.
#include "Store.h"

#include "PostgresDatabase.h"

namespace quillo::cloud {

namespace {

const char *kSchemaV1 = R"SQL(
CREATE TABLE server_secrets (
  name TEXT PRIMARY KEY,
  value TEXT NOT NULL
);
CREATE TABLE accounts (
  id TEXT PRIMARY KEY,
  email TEXT NOT NULL,
  password_hash TEXT,
  provider TEXT NOT NULL,
  email_confirmed INTEGER NOT NULL DEFAULT 0,
  totp_secret TEXT,
  totp_last_step BIGINT NOT NULL DEFAULT -1,
  balance_micro BIGINT NOT NULL DEFAULT 0 CHECK (balance_micro >= 0),
  reserved_micro BIGINT NOT NULL DEFAULT 0 CHECK (reserved_micro >= 0 AND reserved_micro <= balance_micro),
  created_at BIGINT NOT NULL
);
CREATE UNIQUE INDEX accounts_email ON accounts (lower(email));
CREATE TABLE sessions (
  id TEXT PRIMARY KEY,
  account_id TEXT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
  provider TEXT NOT NULL,
  installation_id TEXT,
  refresh_hash TEXT NOT NULL UNIQUE,
  previous_refresh_hash TEXT,
  previous_valid_until BIGINT NOT NULL DEFAULT 0,
  refresh_expires_at BIGINT NOT NULL,
  created_at BIGINT NOT NULL,
  refreshed_at BIGINT NOT NULL
);
CREATE INDEX sessions_account ON sessions(account_id);
CREATE INDEX sessions_previous ON sessions(previous_refresh_hash);
CREATE TABLE access_tokens (
  hash TEXT PRIMARY KEY,
  session_id TEXT NOT NULL REFERENCES sessions(id) ON DELETE CASCADE,
  expires_at BIGINT NOT NULL
);
CREATE INDEX access_tokens_session ON access_tokens(session_id);
CREATE INDEX access_tokens_expires ON access_tokens(expires_at);
CREATE TABLE email_tokens (
  hash TEXT PRIMARY KEY,
  account_id TEXT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
  kind TEXT NOT NULL,
  expires_at BIGINT NOT NULL,
  used INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX email_tokens_account ON email_tokens(account_id);
CREATE TABLE corrections (
  id TEXT PRIMARY KEY,
  account_id TEXT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
  recovery_hash TEXT NOT NULL,
  request_hash TEXT NOT NULL,
  state TEXT NOT NULL CHECK (state IN ('processing', 'done', 'failed')),
  reserved_micro BIGINT NOT NULL DEFAULT 0,
  charged_micro BIGINT NOT NULL DEFAULT 0,
  response TEXT,
  created_at BIGINT NOT NULL,
  updated_at BIGINT NOT NULL
);
CREATE INDEX corrections_updated ON corrections(updated_at);
CREATE INDEX corrections_account ON corrections(account_id);
CREATE TABLE orders (
  id TEXT PRIMARY KEY,
  account_id TEXT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
  request_id TEXT NOT NULL,
  pack TEXT NOT NULL,
  status TEXT NOT NULL,
  granted_micro BIGINT NOT NULL DEFAULT 0,
  created_at BIGINT NOT NULL,
  updated_at BIGINT NOT NULL,
  UNIQUE (account_id, request_id)
);
CREATE INDEX orders_open ON orders(status, created_at);
CREATE TABLE oauth_requests (
  id TEXT PRIMARY KEY,
  kind TEXT NOT NULL,
  code_challenge TEXT NOT NULL,
  installation_id TEXT,
  account_id TEXT REFERENCES accounts(id) ON DELETE CASCADE,
  session_id TEXT,
  proof_hash TEXT UNIQUE,
  mfa_required INTEGER NOT NULL DEFAULT 0,
  state TEXT NOT NULL,
  chosen_email TEXT,
  code_hash TEXT UNIQUE,
  code_expires_at BIGINT NOT NULL DEFAULT 0,
  expires_at BIGINT NOT NULL
);
CREATE TABLE ledger (
  id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  account_id TEXT NOT NULL,
  delta_micro BIGINT NOT NULL,
  reason TEXT NOT NULL,
  reference TEXT,
  created_at BIGINT NOT NULL
);
CREATE INDEX ledger_account ON ledger(account_id);
CREATE TABLE attempts (
  key_hash TEXT PRIMARY KEY,
  failures INTEGER NOT NULL,
  last_at BIGINT NOT NULL
);
CREATE INDEX attempts_last ON attempts(last_at);
)SQL";

// Each PostgreSQL database records the last step it ran in its table `schema_version`; a new
// step goes last, with the next number.
const SchemaStep kPostgresSteps[] = {
    {1, kSchemaV1},
};
constexpr int64_t kMigrationLock = 0x5175696c6c6f;  // any number, the same on every server

}  // namespace

void Store::migratePostgres()
{
    auto c = db_.lease();
    const std::string &schema = dynamic_cast<PostgresDatabase &>(db_).schema();
    const std::string lock = std::to_string(kMigrationLock);
    c->exec("SELECT pg_advisory_lock(" + lock + ")");
    int version = 0;
    int target = 0;
    try {
        Transaction tx(*c, true);
        if (!schema.empty()) c->exec("CREATE SCHEMA IF NOT EXISTS " + schema);
        c->exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
        {
            auto q = c->query("SELECT max(version) FROM schema_version");
            if (q.step() && !q.isNull(0)) version = static_cast<int>(q.integer(0));
        }
        target = schemaTarget(version, kPostgresSteps);
        upgradeSchema(*c, version, kPostgresSteps, [&](int to) {
            c->query("DELETE FROM schema_version").run();
            c->query("INSERT INTO schema_version (version) VALUES (?)").bind(1, to).run();
        });
        tx.commit();
    } catch (...) {
        c->exec("SELECT pg_advisory_unlock(" + lock + ")");
        throw;
    }
    c->exec("SELECT pg_advisory_unlock(" + lock + ")");
    logMigration(version, target);
}

}  // namespace quillo::cloud
