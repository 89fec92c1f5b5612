#include "Store.h"

#include "Crypto.h"
#include "Log.h"
#include "Pricing.h"

#include <nlohmann/json.hpp>

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

constexpr int kSchemaVersion = 2;
constexpr int64_t kPreviousRefreshGraceSeconds = 60;
constexpr int64_t kStaleProcessingSeconds = 120;

std::string hashToken(const std::string &token) { return crypto::sha256Hex(token); }

Account readAccount(Query &q)
{
    Account a;
    a.id = q.text(0);
    a.email = q.text(1);
    a.passwordHash = q.optionalText(2);
    a.provider = q.text(3);
    a.confirmed = q.integer(4) != 0;
    a.totpSecret = q.optionalText(5);
    a.balance = q.integer(6);
    a.reserved = q.integer(7);
    return a;
}

const char *kAccountColumns =
    "id, email, password_hash, provider, email_confirmed, totp_secret, balance_micro, reserved_micro";

void ledger(Connection &c, const std::string &account, int64_t delta, const char *reason, const std::string &ref,
            int64_t now)
{
    c.query("INSERT INTO ledger (account_id, delta_micro, reason, reference, created_at) VALUES (?, ?, ?, ?, ?)")
        .bind(1, account)
        .bind(2, delta)
        .bind(3, reason)
        .bind(4, ref)
        .bind(5, now)
        .run();
}

}  // namespace

Store::Store(Database &db, ServerClock &clock) : db_(db), clock_(clock) {}

void Store::migrate()
{
    auto c = db_.lease();
    int version = 0;
    {
        auto q = c->query("PRAGMA user_version");
        if (q.step()) version = static_cast<int>(q.integer(0));
    }
    if (version > kSchemaVersion)
        throw std::runtime_error("database was written by a newer quillo-cloud (schema " + std::to_string(version) +
                                 ")");
    {
        Transaction tx(*c, true);
        if (version < 1) c->exec(kSchemaV1);
        // Later versions add their ALTER TABLE steps here, each guarded by `version < N`.
        if (version < 2) c->exec("ALTER TABLE accounts ADD COLUMN totp_last_step INTEGER NOT NULL DEFAULT -1");
        c->exec("PRAGMA user_version = " + std::to_string(kSchemaVersion));
        auto q = c->query("SELECT value FROM server_secrets WHERE name = 'token_signing_key'");
        if (q.step()) {
            signingKey_ = q.text(0);
        } else {
            signingKey_ = crypto::randomToken(32);
            c->query("INSERT INTO server_secrets (name, value) VALUES ('token_signing_key', ?)")
                .bind(1, signingKey_)
                .run();
        }
        tx.commit();
    }
    if (version != kSchemaVersion) log::info("schema_migrated", {{"from", version}, {"to", kSchemaVersion}});
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

void Store::recoverInterruptedCorrections()
{
    // A correction still "processing" at start-up belongs to a process that died: give its
    // reservation back so that the credits are not held forever.
    auto c = db_.lease();
    Transaction tx(*c, true);
    int released = 0;
    {
        auto q = c->query("SELECT id, account_id, reserved_micro FROM corrections WHERE state = 'processing'");
        std::vector<std::tuple<std::string, std::string, int64_t>> rows;
        while (q.step()) rows.emplace_back(q.text(0), q.text(1), q.integer(2));
        for (auto &[id, account, reserved] : rows) {
            c->query("UPDATE accounts SET reserved_micro = MAX(0, reserved_micro - ?) WHERE id = ?")
                .bind(1, reserved)
                .bind(2, account)
                .run();
            c->query("UPDATE corrections SET state = 'failed', reserved_micro = 0 WHERE id = ?").bind(1, id).run();
            ++released;
        }
    }
    tx.commit();
    if (released) log::warn("interrupted_corrections_released", {{"count", released}});
}

int Store::purgeExpired(int64_t retention)
{
    auto c = db_.lease();
    int64_t now = clock_.nowSeconds();
    Transaction tx(*c, true);
    auto q = c->query("DELETE FROM corrections WHERE state != 'processing' AND updated_at < ?");
    q.bind(1, now - retention).run();
    int removed = q.changes();
    c->query("DELETE FROM access_tokens WHERE expires_at < ?").bind(1, now - 3600).run();
    c->query("DELETE FROM sessions WHERE refresh_expires_at < ?").bind(1, now).run();
    c->query("DELETE FROM email_tokens WHERE expires_at < ?").bind(1, now - 3600).run();
    c->query("DELETE FROM oauth_requests WHERE expires_at < ?").bind(1, now - 3600).run();
    tx.commit();
    // Old copies of the purged pages in the write-ahead log go too.
    if (removed) {
        try {
            c->exec("PRAGMA wal_checkpoint(TRUNCATE)");
        } catch (const std::exception &) {
            // readers still in the log; the next purge tries again
        }
    }
    return removed;
}

std::optional<Account> Store::accountByEmail(const std::string &email)
{
    auto c = db_.lease();
    auto q = c->query(std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE email = ?");
    q.bind(1, email);
    if (!q.step()) return std::nullopt;
    return readAccount(q);
}

std::optional<Account> Store::accountById(const std::string &id)
{
    auto c = db_.lease();
    auto q = c->query(std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE id = ?");
    q.bind(1, id);
    if (!q.step()) return std::nullopt;
    return readAccount(q);
}

Account Store::createAccount(const std::string &email, const std::optional<std::string> &passwordHash,
                             const std::string &provider, bool confirmed, int64_t balanceMicro)
{
    Account a;
    a.id = crypto::randomUuid();
    a.email = email;
    a.passwordHash = passwordHash;
    a.provider = provider;
    a.confirmed = confirmed;
    a.balance = balanceMicro;
    auto c = db_.lease();
    Transaction tx(*c, true);
    int64_t now = clock_.nowSeconds();
    c->query("INSERT INTO accounts (id, email, password_hash, provider, email_confirmed, balance_micro, created_at) "
             "VALUES (?, ?, ?, ?, ?, ?, ?)")
        .bind(1, a.id)
        .bind(2, email)
        .bind(3, passwordHash)
        .bind(4, provider)
        .bind(5, confirmed ? 1 : 0)
        .bind(6, balanceMicro)
        .bind(7, now)
        .run();
    if (balanceMicro) ledger(*c, a.id, balanceMicro, "signup_grant", "", now);
    tx.commit();
    return a;
}

void Store::confirmEmail(const std::string &accountId)
{
    auto c = db_.lease();
    c->query("UPDATE accounts SET email_confirmed = 1 WHERE id = ?").bind(1, accountId).run();
}

void Store::confirmThroughProvider(const std::string &accountId)
{
    auto c = db_.lease();
    c->query("UPDATE accounts SET password_hash = CASE WHEN email_confirmed = 0 THEN NULL ELSE password_hash END, "
             "provider = CASE WHEN email_confirmed = 0 THEN 'google' ELSE provider END, email_confirmed = 1 "
             "WHERE id = ?")
        .bind(1, accountId)
        .run();
}

bool Store::acceptTotpStep(const std::string &accountId, int64_t step)
{
    auto c = db_.lease();
    auto q = c->query("UPDATE accounts SET totp_last_step = ? WHERE id = ? AND totp_last_step < ?");
    q.bind(1, step).bind(2, accountId).bind(3, step).run();
    return q.changes() > 0;
}

void Store::setPassword(const std::string &accountId, const std::string &hash)
{
    auto c = db_.lease();
    c->query("UPDATE accounts SET password_hash = ? WHERE id = ?").bind(1, hash).bind(2, accountId).run();
}

void Store::setTotpSecret(const std::string &accountId, const std::optional<std::string> &secret)
{
    auto c = db_.lease();
    c->query("UPDATE accounts SET totp_secret = ? WHERE id = ?").bind(1, secret).bind(2, accountId).run();
}

bool Store::setBalance(const std::string &accountId, int64_t balanceMicro)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    auto q = c->query("SELECT balance_micro, reserved_micro FROM accounts WHERE id = ?");
    q.bind(1, accountId);
    if (!q.step()) return false;
    int64_t before = q.integer(0), reserved = q.integer(1);
    int64_t target = std::max(balanceMicro, reserved);
    c->query("UPDATE accounts SET balance_micro = ? WHERE id = ?").bind(1, target).bind(2, accountId).run();
    ledger(*c, accountId, target - before, "balance_set", "", clock_.nowSeconds());
    tx.commit();
    return true;
}

bool Store::deleteAccount(const std::string &accountId)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    auto q = c->query("DELETE FROM accounts WHERE id = ?");
    q.bind(1, accountId).run();
    bool removed = q.changes() > 0;
    c->query("DELETE FROM ledger WHERE account_id = ?").bind(1, accountId).run();
    tx.commit();
    return removed;
}

Balance Store::balance(const std::string &accountId)
{
    auto c = db_.lease();
    auto q = c->query("SELECT balance_micro, reserved_micro FROM accounts WHERE id = ?");
    q.bind(1, accountId);
    Balance b;
    if (q.step()) {
        b.balance = q.integer(0);
        b.reserved = q.integer(1);
    }
    return b;
}

std::string Store::mintAccessToken(const std::string &accountId, const std::string &sessionId, int64_t expiresAt)
{
    // A JWT the client can read its session id from; the server itself trusts only the
    // hashed copy it keeps, so the signature is a cheap first filter.
    nlohmann::json header = {{"alg", "HS256"}, {"typ", "JWT"}};
    nlohmann::json payload = {{"sub", accountId}, {"session_id", sessionId}, {"iat", clock_.nowSeconds()},
                              {"exp", expiresAt}, {"aud", "quillo"},         {"jti", crypto::randomToken(16)}};
    std::string signingInput = crypto::base64UrlEncode(header.dump()) + "." + crypto::base64UrlEncode(payload.dump());
    return signingInput + "." + crypto::base64UrlEncode(crypto::hmacSha256(signingKey_, signingInput));
}

IssuedSession Store::issueSession(const Account &account, const std::string &provider,
                                  const std::optional<std::string> &installationId)
{
    IssuedSession s;
    s.sessionId = crypto::randomUuid();
    s.provider = provider;
    s.account = account;
    s.refreshToken = crypto::randomToken(32);
    int64_t now = clock_.nowSeconds();
    s.issuedAt = now;
    s.expiresAt = now + accessTokenSeconds.load();
    s.accessToken = mintAccessToken(account.id, s.sessionId, s.expiresAt);
    auto c = db_.lease();
    Transaction tx(*c, true);
    c->query("INSERT INTO sessions (id, account_id, provider, installation_id, refresh_hash, refresh_expires_at, "
             "created_at, refreshed_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
        .bind(1, s.sessionId)
        .bind(2, account.id)
        .bind(3, provider)
        .bind(4, installationId)
        .bind(5, hashToken(s.refreshToken))
        .bind(6, now + refreshTokenSeconds.load())
        .bind(7, now)
        .bind(8, now)
        .run();
    c->query("INSERT INTO access_tokens (hash, session_id, expires_at) VALUES (?, ?, ?)")
        .bind(1, hashToken(s.accessToken))
        .bind(2, s.sessionId)
        .bind(3, s.expiresAt)
        .run();
    tx.commit();
    return s;
}

std::optional<IssuedSession> Store::refresh(const std::string &refreshToken)
{
    std::string hash = hashToken(refreshToken);
    int64_t now = clock_.nowSeconds();
    auto c = db_.lease();
    Transaction tx(*c, true);
    std::string sessionId, accountId, provider;
    bool current = false;
    {
        // The token just replaced stays good for a minute from its replacement, so that a refresh
        // whose answer was lost on the way does not sign the user out.
        auto q =
            c->query("SELECT id, account_id, provider, refresh_hash = ?1, previous_valid_until >= ?2 FROM sessions "
                     "WHERE (refresh_hash = ?1 OR previous_refresh_hash = ?1) AND refresh_expires_at >= ?2");
        q.bind(1, hash).bind(2, now);
        if (!q.step()) return std::nullopt;
        sessionId = q.text(0);
        accountId = q.text(1);
        provider = q.text(2);
        current = q.integer(3) != 0;
        if (!current && q.integer(4) == 0) {
            // A replaced token used after its minute: someone holds a copy. The session ends for
            // both, and its owner signs in again.
            c->query("DELETE FROM sessions WHERE id = ?").bind(1, sessionId).run();
            tx.commit();
            log::warn("refresh_token_reused", {{"session", sessionId}});
            return std::nullopt;
        }
    }
    IssuedSession s;
    s.sessionId = sessionId;
    s.provider = provider;
    s.refreshToken = crypto::randomToken(32);
    s.issuedAt = now;
    s.expiresAt = now + accessTokenSeconds.load();
    s.accessToken = mintAccessToken(accountId, sessionId, s.expiresAt);
    if (current) {
        c->query("UPDATE sessions SET previous_refresh_hash = ?, previous_valid_until = ?, refresh_hash = ?, "
                 "refresh_expires_at = ?, refreshed_at = ? WHERE id = ?")
            .bind(1, hash)
            .bind(2, now + kPreviousRefreshGraceSeconds)
            .bind(3, hashToken(s.refreshToken))
            .bind(4, now + refreshTokenSeconds.load())
            .bind(5, now)
            .bind(6, sessionId)
            .run();
    } else {
        // The replaced token again, within its minute: a new current token, the grace unmoved.
        c->query("UPDATE sessions SET refresh_hash = ?, refresh_expires_at = ?, refreshed_at = ? WHERE id = ?")
            .bind(1, hashToken(s.refreshToken))
            .bind(2, now + refreshTokenSeconds.load())
            .bind(3, now)
            .bind(4, sessionId)
            .run();
    }
    c->query("INSERT INTO access_tokens (hash, session_id, expires_at) VALUES (?, ?, ?)")
        .bind(1, hashToken(s.accessToken))
        .bind(2, sessionId)
        .bind(3, s.expiresAt)
        .run();
    {
        auto q = c->query(std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE id = ?");
        q.bind(1, accountId);
        if (!q.step()) return std::nullopt;
        s.account = readAccount(q);
    }
    tx.commit();
    return s;
}

TokenCheck Store::authenticate(const std::string &token, Caller &caller)
{
    if (token.empty()) return TokenCheck::missing;
    size_t d1 = token.find('.'), d2 = d1 == std::string::npos ? d1 : token.find('.', d1 + 1);
    if (d1 == std::string::npos || d2 == std::string::npos || token.find('.', d2 + 1) != std::string::npos ||
        token.size() > 4096)
        return TokenCheck::invalid;
    std::string expected = crypto::base64UrlEncode(crypto::hmacSha256(signingKey_, token.substr(0, d2)));
    if (!crypto::constantTimeEquals(expected, token.substr(d2 + 1))) return TokenCheck::invalid;
    auto c = db_.lease();
    auto q = c->query("SELECT t.expires_at, s.id, s.account_id, s.provider FROM access_tokens t "
                      "JOIN sessions s ON s.id = t.session_id WHERE t.hash = ?");
    q.bind(1, hashToken(token));
    if (!q.step()) return TokenCheck::invalid;
    if (q.integer(0) <= clock_.nowSeconds()) return TokenCheck::expired;
    caller.sessionId = q.text(1);
    caller.accountId = q.text(2);
    caller.provider = q.text(3);
    caller.accessToken = token;
    return TokenCheck::ok;
}

void Store::revokeSession(const std::string &sessionId)
{
    auto c = db_.lease();
    c->query("DELETE FROM sessions WHERE id = ?").bind(1, sessionId).run();
}

void Store::revokeAllSessions(const std::string &accountId)
{
    auto c = db_.lease();
    c->query("DELETE FROM sessions WHERE account_id = ?").bind(1, accountId).run();
}

int Store::expireAccessTokens(const std::string &accountId)
{
    auto c = db_.lease();
    auto q = c->query("UPDATE access_tokens SET expires_at = ? WHERE session_id IN "
                      "(SELECT id FROM sessions WHERE account_id = ?)");
    q.bind(1, clock_.nowSeconds() - 1).bind(2, accountId).run();
    return q.changes();
}

std::string Store::createEmailToken(const std::string &accountId, const std::string &kind, int64_t ttl)
{
    std::string token = crypto::randomToken(32);
    auto c = db_.lease();
    // Only the newest reset link works: an older one may sit in a mailbox someone else reads.
    if (kind == "reset")
        c->query("UPDATE email_tokens SET used = 1 WHERE account_id = ? AND kind = 'reset' AND used = 0")
            .bind(1, accountId)
            .run();
    c->query("INSERT INTO email_tokens (hash, account_id, kind, expires_at) VALUES (?, ?, ?, ?)")
        .bind(1, hashToken(token))
        .bind(2, accountId)
        .bind(3, kind)
        .bind(4, clock_.nowSeconds() + ttl)
        .run();
    return token;
}

bool Store::emailTokenValid(const std::string &token, const std::string &kind)
{
    auto c = db_.lease();
    auto q = c->query("SELECT 1 FROM email_tokens WHERE hash = ? AND kind = ? AND used = 0 AND expires_at >= ?");
    q.bind(1, hashToken(token)).bind(2, kind).bind(3, clock_.nowSeconds());
    return q.step();
}

std::optional<Account> Store::emailTokenAccount(const std::string &token, const std::string &kind)
{
    std::string accountId;
    {
        auto c = db_.lease();
        auto q = c->query(
            "SELECT account_id FROM email_tokens WHERE hash = ? AND kind = ? AND used = 0 AND expires_at >= ?");
        q.bind(1, hashToken(token)).bind(2, kind).bind(3, clock_.nowSeconds());
        if (!q.step()) return std::nullopt;
        accountId = q.text(0);
    }
    return accountById(accountId);
}

std::optional<std::string> Store::consumeEmailToken(const std::string &token, const std::string &kind)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    std::string account;
    {
        auto q = c->query(
            "SELECT account_id FROM email_tokens WHERE hash = ? AND kind = ? AND used = 0 AND expires_at >= ?");
        q.bind(1, hashToken(token)).bind(2, kind).bind(3, clock_.nowSeconds());
        if (!q.step()) return std::nullopt;
        account = q.text(0);
    }
    c->query("UPDATE email_tokens SET used = 1 WHERE hash = ?").bind(1, hashToken(token)).run();
    tx.commit();
    return account;
}

std::optional<StoredCorrection> Store::correction(const std::string &correctionId)
{
    auto c = db_.lease();
    auto q = c->query("SELECT account_id, recovery_hash, request_hash, state, response, reserved_micro, updated_at "
                      "FROM corrections WHERE id = ?");
    q.bind(1, correctionId);
    if (!q.step()) return std::nullopt;
    StoredCorrection s;
    s.accountId = q.text(0);
    s.recoveryHash = q.text(1);
    s.requestHash = q.text(2);
    s.state = q.text(3);
    s.response = q.text(4);
    s.reserved = q.integer(5);
    s.updatedAt = q.integer(6);
    return s;
}

CorrectionStart Store::beginCorrection(const std::string &accountId, const std::string &correctionId,
                                       const std::string &recoveryHash, const std::string &requestHash, int64_t cost)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    int64_t now = clock_.nowSeconds();
    bool retake = false;
    {
        auto q = c->query("SELECT account_id, recovery_hash, request_hash, state, response, reserved_micro, updated_at "
                          "FROM corrections WHERE id = ?");
        q.bind(1, correctionId);
        if (q.step()) {
            if (q.text(0) != accountId || !crypto::constantTimeEquals(q.text(1), recoveryHash))
                return {CorrectionStart::keyMismatch, {}, 0};
            if (q.text(2) != requestHash) return {CorrectionStart::conflict, {}, 0};
            std::string state = q.text(3);
            if (state == "done") return {CorrectionStart::replay, q.text(4), 0};
            if (state == "processing" && q.integer(6) >= now - kStaleProcessingSeconds)
                return {CorrectionStart::inProgress, {}, 0};
            int64_t held = state == "processing" ? q.integer(5) : 0;
            if (held)
                c->query("UPDATE accounts SET reserved_micro = MAX(0, reserved_micro - ?) WHERE id = ?")
                    .bind(1, held)
                    .bind(2, accountId)
                    .run();
            retake = true;
        }
    }
    int64_t available = 0;
    {
        auto q = c->query("SELECT balance_micro - reserved_micro FROM accounts WHERE id = ?");
        q.bind(1, accountId);
        if (!q.step()) return {CorrectionStart::insufficient, {}, 0};
        available = q.integer(0);
    }
    if (available < cost) {
        tx.commit();  // keeps a released stale reservation released
        return {CorrectionStart::insufficient, {}, available};
    }
    c->query("UPDATE accounts SET reserved_micro = reserved_micro + ? WHERE id = ?")
        .bind(1, cost)
        .bind(2, accountId)
        .run();
    if (retake) {
        c->query("UPDATE corrections SET state = 'processing', reserved_micro = ?, updated_at = ? WHERE id = ?")
            .bind(1, cost)
            .bind(2, now)
            .bind(3, correctionId)
            .run();
    } else {
        c->query("INSERT INTO corrections (id, account_id, recovery_hash, request_hash, state, reserved_micro, "
                 "created_at, updated_at) VALUES (?, ?, ?, ?, 'processing', ?, ?, ?)")
            .bind(1, correctionId)
            .bind(2, accountId)
            .bind(3, recoveryHash)
            .bind(4, requestHash)
            .bind(5, cost)
            .bind(6, now)
            .bind(7, now)
            .run();
    }
    tx.commit();
    return {CorrectionStart::fresh, {}, available};
}

Balance Store::finishCorrection(const std::string &accountId, const std::string &correctionId, int64_t cost,
                                const std::string &response)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    int64_t now = clock_.nowSeconds();
    int64_t held = 0;
    {
        auto q = c->query("SELECT reserved_micro FROM corrections WHERE id = ? AND state = 'processing'");
        q.bind(1, correctionId);
        if (!q.step()) throw std::runtime_error("correction is not in progress");
        held = q.integer(0);
    }
    c->query(
         "UPDATE accounts SET balance_micro = balance_micro - ?1, reserved_micro = reserved_micro - ?2 WHERE id = ?3")
        .bind(1, cost)
        .bind(2, held)
        .bind(3, accountId)
        .run();
    c->query(
         "UPDATE corrections SET state = 'done', reserved_micro = 0, charged_micro = ?, response = ?, updated_at = ? "
         "WHERE id = ?")
        .bind(1, cost)
        .bind(2, response)
        .bind(3, now)
        .bind(4, correctionId)
        .run();
    if (cost) ledger(*c, accountId, -cost, "correction", correctionId, now);
    Balance b;
    {
        auto q = c->query("SELECT balance_micro, reserved_micro FROM accounts WHERE id = ?");
        q.bind(1, accountId);
        if (q.step()) {
            b.balance = q.integer(0);
            b.reserved = q.integer(1);
        }
    }
    tx.commit();
    return b;
}

void Store::abandonCorrection(const std::string &accountId, const std::string &correctionId)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    int64_t held = 0;
    {
        auto q = c->query("SELECT reserved_micro FROM corrections WHERE id = ? AND state = 'processing'");
        q.bind(1, correctionId);
        if (!q.step()) return;
        held = q.integer(0);
    }
    c->query("UPDATE accounts SET reserved_micro = MAX(0, reserved_micro - ?) WHERE id = ?")
        .bind(1, held)
        .bind(2, accountId)
        .run();
    c->query("UPDATE corrections SET state = 'failed', reserved_micro = 0, updated_at = ? WHERE id = ?")
        .bind(1, clock_.nowSeconds())
        .bind(2, correctionId)
        .run();
    tx.commit();
}

static Order readOrder(Query &q)
{
    Order o;
    o.id = q.text(0);
    o.accountId = q.text(1);
    o.requestId = q.text(2);
    o.pack = q.text(3);
    o.status = q.text(4);
    o.granted = q.integer(5);
    o.createdAt = q.integer(6);
    o.updatedAt = q.integer(7);
    return o;
}

static const char *kOrderColumns = "id, account_id, request_id, pack, status, granted_micro, created_at, updated_at";

void Store::expireStaleOrders(Connection &c, int64_t ttl)
{
    int64_t now = clock_.nowSeconds();
    c.query("UPDATE orders SET status = 'expired', updated_at = ?1 WHERE status IN ('checkout_created', 'pending') "
            "AND created_at < ?2")
        .bind(1, now)
        .bind(2, now - ttl)
        .run();
}

std::pair<Store::OrderOutcome, Order> Store::createOrReuseOrder(const std::string &accountId,
                                                                const std::string &requestId, const std::string &pack,
                                                                int64_t ttl)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    expireStaleOrders(*c, ttl);
    {
        auto q =
            c->query(std::string("SELECT ") + kOrderColumns + " FROM orders WHERE account_id = ? AND request_id = ?");
        q.bind(1, accountId).bind(2, requestId);
        if (q.step()) {
            Order o = readOrder(q);
            tx.commit();
            if (o.pack != pack) return {OrderOutcome::conflict, o};
            if (o.status != "checkout_created" && o.status != "pending") return {OrderOutcome::closed, o};
            return {OrderOutcome::reused, o};
        }
    }
    Order o;
    o.id = crypto::randomUuid();
    o.accountId = accountId;
    o.requestId = requestId;
    o.pack = pack;
    o.status = "checkout_created";
    o.createdAt = o.updatedAt = clock_.nowSeconds();
    c->query("INSERT INTO orders (id, account_id, request_id, pack, status, created_at, updated_at) "
             "VALUES (?, ?, ?, ?, ?, ?, ?)")
        .bind(1, o.id)
        .bind(2, accountId)
        .bind(3, requestId)
        .bind(4, pack)
        .bind(5, o.status)
        .bind(6, o.createdAt)
        .bind(7, o.updatedAt)
        .run();
    tx.commit();
    return {OrderOutcome::created, o};
}

std::optional<Order> Store::order(const std::string &orderId, int64_t ttl)
{
    auto c = db_.lease();
    {
        Transaction tx(*c, true);
        expireStaleOrders(*c, ttl);
        tx.commit();
    }
    auto q = c->query(std::string("SELECT ") + kOrderColumns + " FROM orders WHERE id = ?");
    q.bind(1, orderId);
    if (!q.step()) return std::nullopt;
    return readOrder(q);
}

Store::OrderActionResult Store::applyOrderAction(const std::string &orderId, const std::string &action, int64_t ttl)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    expireStaleOrders(*c, ttl);
    Order o;
    {
        auto q = c->query(std::string("SELECT ") + kOrderColumns + " FROM orders WHERE id = ?");
        q.bind(1, orderId);
        if (!q.step()) return OrderActionResult::notFound;
        o = readOrder(q);
    }
    auto pack = packInfo(o.pack);
    if (!pack) return OrderActionResult::notAllowed;
    int64_t now = clock_.nowSeconds();
    bool open = o.status == "checkout_created" || o.status == "pending";
    bool settled =
        o.status == "paid" || o.status == "partially_refunded" || o.status == "disputed" || o.status == "manual_review";
    std::string next;
    int64_t grantDelta = 0;
    auto takeBack = [&](int64_t wanted) {
        // A refund cannot take back credits already spent or held by a running correction.
        auto q = c->query("SELECT balance_micro - reserved_micro FROM accounts WHERE id = ?");
        q.bind(1, o.accountId);
        int64_t available = q.step() ? q.integer(0) : 0;
        return -std::min(wanted, std::max<int64_t>(0, available));
    };
    if (action == "pay" && open) {
        next = "paid";
        grantDelta = static_cast<int64_t>(pack->credits) * kMicroPerCredit;
    } else if (action == "fail" && open) {
        next = "payment_failed";
    } else if (action == "expire" && open) {
        next = "expired";
    } else if (action == "pending" && open) {
        next = "pending";
    } else if (action == "partial_refund" && o.status == "paid") {
        next = "partially_refunded";
        grantDelta = takeBack(o.granted / 2);
    } else if (action == "refund" && settled) {
        next = "refunded";
        grantDelta = takeBack(o.granted);
    } else if (action == "dispute" && settled) {
        next = "disputed";
    } else if (action == "chargeback" && settled) {
        next = "chargeback";
        grantDelta = takeBack(o.granted);
    } else if (action == "review" && settled) {
        next = "manual_review";
    } else {
        return OrderActionResult::notAllowed;
    }
    if (grantDelta)
        c->query("UPDATE accounts SET balance_micro = balance_micro + ? WHERE id = ?")
            .bind(1, grantDelta)
            .bind(2, o.accountId)
            .run();
    c->query("UPDATE orders SET status = ?, granted_micro = granted_micro + ?, updated_at = ? WHERE id = ?")
        .bind(1, next)
        .bind(2, grantDelta)
        .bind(3, now)
        .bind(4, orderId)
        .run();
    if (grantDelta) ledger(*c, o.accountId, grantDelta, next.c_str(), orderId, now);
    tx.commit();
    return OrderActionResult::done;
}

std::string Store::createOAuthRequest(const std::string &kind, const std::string &challenge,
                                      const std::optional<std::string> &installationId,
                                      const std::optional<std::string> &accountId,
                                      const std::optional<std::string> &sessionId,
                                      const std::optional<std::string> &proofHash, bool mfaRequired)
{
    std::string id = crypto::randomToken(24);
    auto c = db_.lease();
    c->query(
         "INSERT INTO oauth_requests (id, kind, code_challenge, installation_id, account_id, session_id, proof_hash, "
         "mfa_required, state, expires_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 'started', ?)")
        .bind(1, id)
        .bind(2, kind)
        .bind(3, challenge)
        .bind(4, installationId)
        .bind(5, accountId)
        .bind(6, sessionId)
        .bind(7, proofHash)
        .bind(8, mfaRequired ? 1 : 0)
        .bind(9, clock_.nowSeconds() + 600)
        .run();
    return id;
}

static const char *kOAuthColumns =
    "id, kind, code_challenge, state, installation_id, account_id, session_id, chosen_email, mfa_required, expires_at";

static OAuthRequest readOAuth(Query &q)
{
    OAuthRequest r;
    r.id = q.text(0);
    r.kind = q.text(1);
    r.codeChallenge = q.text(2);
    r.state = q.text(3);
    r.installationId = q.optionalText(4);
    r.accountId = q.optionalText(5);
    r.sessionId = q.optionalText(6);
    r.chosenEmail = q.optionalText(7);
    r.mfaRequired = q.integer(8) != 0;
    r.expiresAt = q.integer(9);
    return r;
}

std::optional<OAuthRequest> Store::oauthRequest(const std::string &id)
{
    auto c = db_.lease();
    auto q = c->query(std::string("SELECT ") + kOAuthColumns + " FROM oauth_requests WHERE id = ? AND expires_at >= ?");
    q.bind(1, id).bind(2, clock_.nowSeconds());
    if (!q.step()) return std::nullopt;
    return readOAuth(q);
}

std::optional<std::string> Store::authorizeOAuthRequest(const std::string &id, const std::string &email)
{
    std::string code = crypto::randomToken(32);
    auto c = db_.lease();
    auto q = c->query("UPDATE oauth_requests SET state = 'authorized', chosen_email = ?, code_hash = ?, "
                      "code_expires_at = ? WHERE id = ? AND state = 'started' AND expires_at >= ?");
    int64_t now = clock_.nowSeconds();
    q.bind(1, email).bind(2, hashToken(code)).bind(3, now + 300).bind(4, id).bind(5, now).run();
    if (q.changes() == 0) return std::nullopt;
    return code;
}

void Store::denyOAuthRequest(const std::string &id)
{
    auto c = db_.lease();
    c->query("UPDATE oauth_requests SET state = 'denied' WHERE id = ? AND state = 'started'").bind(1, id).run();
}

std::optional<OAuthRequest> Store::takeOAuthCode(const std::string &code, const std::string &kind)
{
    auto c = db_.lease();
    Transaction tx(*c, true);
    std::optional<OAuthRequest> r;
    {
        auto q = c->query(
            std::string("SELECT ") + kOAuthColumns +
            " FROM oauth_requests WHERE code_hash = ? AND kind = ? AND state = 'authorized' AND code_expires_at >= ?");
        q.bind(1, hashToken(code)).bind(2, kind).bind(3, clock_.nowSeconds());
        if (!q.step()) return std::nullopt;
        r = readOAuth(q);
    }
    // A code works once, whether or not the verifier that comes with it is right.
    c->query("UPDATE oauth_requests SET state = 'code_used', code_hash = NULL WHERE id = ?").bind(1, r->id).run();
    tx.commit();
    return r;
}

std::optional<OAuthRequest> Store::reauthenticationByProof(const std::string &proofHash)
{
    auto c = db_.lease();
    auto q = c->query(std::string("SELECT ") + kOAuthColumns +
                      " FROM oauth_requests WHERE proof_hash = ? AND kind = 'reauth' AND expires_at >= ?");
    q.bind(1, proofHash).bind(2, clock_.nowSeconds());
    if (!q.step()) return std::nullopt;
    return readOAuth(q);
}

void Store::markReauthenticationVerified(const std::string &id)
{
    auto c = db_.lease();
    c->query("UPDATE oauth_requests SET state = 'verified' WHERE id = ?").bind(1, id).run();
}

bool Store::consumeVerifiedReauthentication(const std::string &id)
{
    auto c = db_.lease();
    auto q =
        c->query("UPDATE oauth_requests SET state = 'used' WHERE id = ? AND state = 'verified' AND expires_at >= ?");
    q.bind(1, id).bind(2, clock_.nowSeconds()).run();
    return q.changes() > 0;
}

}  // namespace quillo::cloud
