// The store's SQLite schema and its migrations, the server's own secrets, and the purge of what
// has outlived its use.
#include "Store.h"

#include "Crypto.h"
#include "Log.h"

namespace quillo::cloud {

namespace {

const char *kSchemaV1 = R"SQL(
CREATE TABLE IF NOT EXISTS server_secrets (
  name TEXT PRIMARY KEY,
  value TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS accounts (
  id TEXT PRIMARY KEY,
  email TEXT NOT NULL UNIQUE COLLATE NOCASE,
  password_hash TEXT,
  provider TEXT NOT NULL,
  email_confirmed INTEGER NOT NULL DEFAULT 0,
  totp_secret TEXT,
  balance_micro INTEGER NOT NULL DEFAULT 0 CHECK (balance_micro >= 0),
  reserved_micro INTEGER NOT NULL DEFAULT 0 CHECK (reserved_micro >= 0 AND reserved_micro <= balance_micro),
  created_at INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS sessions (
  id TEXT PRIMARY KEY,
  account_id TEXT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
  provider TEXT NOT NULL,
  installation_id TEXT,
  refresh_hash TEXT NOT NULL UNIQUE,
  previous_refresh_hash TEXT,
  previous_valid_until INTEGER NOT NULL DEFAULT 0,
  refresh_expires_at INTEGER NOT NULL,
  created_at INTEGER NOT NULL,
  refreshed_at INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS sessions_account ON sessions(account_id);
CREATE INDEX IF NOT EXISTS sessions_previous ON sessions(previous_refresh_hash);
CREATE TABLE IF NOT EXISTS access_tokens (
  hash TEXT PRIMARY KEY,
  session_id TEXT NOT NULL REFERENCES sessions(id) ON DELETE CASCADE,
  expires_at INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS access_tokens_session ON access_tokens(session_id);
CREATE TABLE IF NOT EXISTS email_tokens (
  hash TEXT PRIMARY KEY,
  account_id TEXT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
  kind TEXT NOT NULL,
  expires_at INTEGER NOT NULL,
  used INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS corrections (
  id TEXT PRIMARY KEY,
  account_id TEXT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
  recovery_hash TEXT NOT NULL,
  request_hash TEXT NOT NULL,
  state TEXT NOT NULL CHECK (state IN ('processing', 'done', 'failed')),
  reserved_micro INTEGER NOT NULL DEFAULT 0,
  charged_micro INTEGER NOT NULL DEFAULT 0,
  response TEXT,
  created_at INTEGER NOT NULL,
  updated_at INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS corrections_updated ON corrections(updated_at);
CREATE TABLE IF NOT EXISTS orders (
  id TEXT PRIMARY KEY,
  account_id TEXT NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
  request_id TEXT NOT NULL,
  pack TEXT NOT NULL,
  status TEXT NOT NULL,
  granted_micro INTEGER NOT NULL DEFAULT 0,
  created_at INTEGER NOT NULL,
  updated_at INTEGER NOT NULL,
  UNIQUE (account_id, request_id)
);
CREATE TABLE IF NOT EXISTS oauth_requests (
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
  code_expires_at INTEGER NOT NULL DEFAULT 0,
  expires_at INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS ledger (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  account_id TEXT NOT NULL,
  delta_micro INTEGER NOT NULL,
  reason TEXT NOT NULL,
  reference TEXT,
  created_at INTEGER NOT NULL
);
)SQL";

// Failed attempts (sign-in, codes, mails) by the hash of their key.
const char *kAttemptsTable = R"SQL(
CREATE TABLE IF NOT EXISTS attempts (
  key_hash TEXT PRIMARY KEY,
  failures INTEGER NOT NULL,
  last_at INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS attempts_last ON attempts(last_at);
)SQL";

// Each SQLite database records the last step it ran in `PRAGMA user_version`; a new step goes
// last, with the next number.
const SchemaStep kSqliteSteps[] = {
    {1, kSchemaV1},
    {2, "ALTER TABLE accounts ADD COLUMN totp_last_step INTEGER NOT NULL DEFAULT -1"},
    {3, kAttemptsTable},
};

}  // namespace

Store::Store(Database &db, ServerClock &clock) : db_(db), clock_(clock) {}

void Store::migrate()
{
    if (db_.dialect() == Dialect::postgres) migratePostgres();
    else migrateSqlite();
}

void Store::migrateSqlite()
{
    auto c = db_.lease();
    int version = 0;
    {
        auto q = c->query("PRAGMA user_version");
        if (q.step()) version = static_cast<int>(q.integer(0));
    }
    int target = schemaTarget(version, kSqliteSteps);
    {
        Transaction tx(*c, true);
        upgradeSchema(*c, version, kSqliteSteps,
                      [&](int to) { c->exec("PRAGMA user_version = " + std::to_string(to)); });
        tx.commit();
    }
    logMigration(version, target);
}

int Store::schemaTarget(int version, std::span<const SchemaStep> steps)
{
    int target = steps.back().version;
    if (version > target)
        throw std::runtime_error("database was written by a newer quillo-cloud (schema " + std::to_string(version) +
                                 ")");
    return target;
}

void Store::loadSigningKey(Connection &c)
{
    auto q = c.query("SELECT value FROM server_secrets WHERE name = 'token_signing_key'");
    if (q.step()) {
        signingKey_ = q.text(0);
    } else {
        signingKey_ = crypto::randomToken(32);
        c.query("INSERT INTO server_secrets (name, value) VALUES ('token_signing_key', ?)").bind(1, signingKey_).run();
    }
}

void Store::logMigration(int from, int to)
{
    if (from != to) log::info("schema_migrated", {{"from", from}, {"to", to}});
}

std::string Store::signingKey() { return signingKey_; }

bool Store::healthy()
{
    try {
        auto c = db_.lease();
        auto q = c->query("SELECT 1");
        return q.step();
    } catch (...) {
        return false;
    }
}

int Store::purgeExpired(int64_t retention)
{
    int64_t now = clock_.nowSeconds();
    int removed = retrying([&] {
        auto c = db_.lease();
        Transaction tx(*c, true);
        auto q = c->query("DELETE FROM corrections WHERE state != 'processing' AND updated_at < ?");
        q.bind(1, now - retention).run();
        int count = q.changes();
        c->query("DELETE FROM access_tokens WHERE expires_at < ?").bind(1, now - 3600).run();
        c->query("DELETE FROM sessions WHERE refresh_expires_at < ?").bind(1, now).run();
        c->query("DELETE FROM email_tokens WHERE expires_at < ?").bind(1, now - 3600).run();
        c->query("DELETE FROM oauth_requests WHERE expires_at < ?").bind(1, now - 3600).run();
        c->query("DELETE FROM attempts WHERE last_at < ?").bind(1, now - int64_t{24} * 3600).run();
        tx.commit();
        return count;
    });
    // Old copies of the purged pages in SQLite's write-ahead log go too.
    if (removed && db_.dialect() == Dialect::sqlite) {
        try {
            auto c = db_.lease();
            c->exec("PRAGMA wal_checkpoint(TRUNCATE)");
        } catch (const std::exception &) {
            // readers still in the log; the next purge tries again
        }
    }
    return removed;
}

}  // namespace quillo::cloud
