#pragma once
// Every piece of persistent state, behind operations that each run in one transaction, over
// SQLite or PostgreSQL (each with its own schema and migrations). Credits move only inside write
// transactions (SQLite: one writer at a time; PostgreSQL: serializable, run again when they lose
// a race) and the schema refuses a negative balance or a reservation larger than the balance, so
// concurrent requests, also on several servers, cannot overdraw.
#include "Database.h"
#include "ServerClock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace quillo::cloud {

struct Account {
    std::string id, email, provider;
    std::optional<std::string> passwordHash, totpSecret;
    bool confirmed = false;
    int64_t balance = 0, reserved = 0;
};

struct Balance {
    int64_t balance = 0, reserved = 0;
    int64_t available() const { return balance - reserved; }
};

struct IssuedSession {
    std::string sessionId, accessToken, refreshToken, provider;
    int64_t expiresAt = 0;
    int64_t issuedAt = 0;  // the token's lifetime counts from here, not from the request's start
    Account account;
};

struct Caller {
    std::string accountId, sessionId, provider, accessToken;
};

enum class TokenCheck { ok, missing, invalid, expired };

struct StoredCorrection {
    std::string accountId, recoveryHash, requestHash, state, response;
    int64_t reserved = 0, updatedAt = 0;
};

struct CorrectionStart {
    enum Kind { fresh, inProgress, replay, conflict, keyMismatch, insufficient } kind = fresh;
    std::string storedResponse;
    int64_t available = 0;
};

struct Order {
    std::string id, accountId, requestId, pack, status;
    int64_t granted = 0, createdAt = 0, updatedAt = 0;
};

struct OAuthRequest {
    std::string id, kind, codeChallenge, state;
    std::optional<std::string> installationId, accountId, sessionId, chosenEmail;
    bool mfaRequired = false;
    int64_t expiresAt = 0;
};

// One step of a dialect's schema: the statements that take a database to `version`.
struct SchemaStep {
    int version;
    const char *sql;
};

class Store {
public:
    Store(Database &db, ServerClock &clock);

    void migrate();
    // A correction still "processing" whose server died holds its credits: they go back. With
    // `olderThanSeconds` only those untouched that long, as other live servers share the rows.
    int recoverInterruptedCorrections(std::optional<int64_t> olderThanSeconds = std::nullopt);
    int purgeExpired(int64_t retention);
    // How long a correction may stay "processing" before a repeat or a recovery takes it over.
    static constexpr int64_t kProcessingLeaseSeconds = 120;

    std::atomic<int64_t> accessTokenSeconds{3600};
    std::atomic<int64_t> refreshTokenSeconds{int64_t{60} * 24 * 3600};

    // Accounts.
    std::optional<Account> accountByEmail(const std::string &email);
    std::optional<Account> accountById(const std::string &id);
    Account createAccount(const std::string &email, const std::optional<std::string> &passwordHash,
                          const std::string &provider, bool confirmed, int64_t balanceMicro);
    void confirmEmail(const std::string &accountId);
    // The identity provider vouched for the address: confirmed, and a password that was never
    // confirmed by mail is dropped.
    void confirmThroughProvider(const std::string &accountId);
    void setPassword(const std::string &accountId, const std::string &hash);
    // True once per account and authenticator step, and only for a step later than the last.
    bool acceptTotpStep(const std::string &accountId, int64_t step);
    void setTotpSecret(const std::string &accountId, const std::optional<std::string> &secret);
    bool setBalance(const std::string &accountId, int64_t balanceMicro);
    bool deleteAccount(const std::string &accountId);
    Balance balance(const std::string &accountId);

    // Sessions and tokens.
    IssuedSession issueSession(const Account &account, const std::string &provider,
                               const std::optional<std::string> &installationId);
    std::optional<IssuedSession> refresh(const std::string &refreshToken);
    TokenCheck authenticate(const std::string &accessToken, Caller &caller);
    void revokeSession(const std::string &sessionId);
    void revokeAllSessions(const std::string &accountId);
    int expireAccessTokens(const std::string &accountId);

    // One-time links mailed to the user ("confirm", "reset").
    std::string createEmailToken(const std::string &accountId, const std::string &kind, int64_t ttlSeconds);
    std::optional<std::string> consumeEmailToken(const std::string &token, const std::string &kind);
    bool emailTokenValid(const std::string &token, const std::string &kind);
    std::optional<Account> emailTokenAccount(const std::string &token, const std::string &kind);

    // Corrections.
    std::optional<StoredCorrection> correction(const std::string &correctionId);
    CorrectionStart beginCorrection(const std::string &accountId, const std::string &correctionId,
                                    const std::string &recoveryHash, const std::string &requestHash, int64_t cost);
    Balance finishCorrection(const std::string &accountId, const std::string &correctionId, int64_t cost,
                             const std::string &response);
    void abandonCorrection(const std::string &accountId, const std::string &correctionId);

    // Checkout orders.
    enum class OrderOutcome { created, reused, closed, conflict };
    std::pair<OrderOutcome, Order> createOrReuseOrder(const std::string &accountId, const std::string &requestId,
                                                      const std::string &pack, int64_t ttlSeconds);
    std::optional<Order> order(const std::string &orderId, int64_t ttlSeconds);
    enum class OrderActionResult { done, notFound, notAllowed };
    OrderActionResult applyOrderAction(const std::string &orderId, const std::string &action, int64_t ttlSeconds);

    // Browser sign-in and re-verification requests.
    std::string createOAuthRequest(const std::string &kind, const std::string &challenge,
                                   const std::optional<std::string> &installationId,
                                   const std::optional<std::string> &accountId,
                                   const std::optional<std::string> &sessionId,
                                   const std::optional<std::string> &proofHash, bool mfaRequired);
    std::optional<OAuthRequest> oauthRequest(const std::string &id);
    std::optional<std::string> authorizeOAuthRequest(const std::string &id, const std::string &email);
    void denyOAuthRequest(const std::string &id);
    std::optional<OAuthRequest> takeOAuthCode(const std::string &code, const std::string &kind);
    std::optional<OAuthRequest> reauthenticationByProof(const std::string &proofHash);
    void markReauthenticationVerified(const std::string &id);
    bool consumeVerifiedReauthentication(const std::string &id);

    // Failed attempts by key, shared by every server on the database (see SharedAttemptThrottle).
    struct Attempts {
        int failures = 0;
        int64_t last = 0;
    };
    Attempts attempts(const std::string &scope, const std::string &key);
    void recordAttempt(const std::string &scope, const std::string &key, int64_t now, int64_t forgetAfter);
    void clearAttempts(const std::string &scope, const std::string &key);

    std::string signingKey();
    bool healthy();
    Database &database() { return db_; }
    // Transactions run again after losing a race with another (PostgreSQL).
    std::atomic<int64_t> retries{0};

private:
    void migrateSqlite();
    void migratePostgres();
    // The version `steps` end at; refuses a database written by a newer server.
    static int schemaTarget(int version, std::span<const SchemaStep> steps);
    // Inside the caller's transaction: runs the steps past `version`, records the target with
    // `recordVersion` and loads the token signing key (made on first start).
    template <class Record>
    void upgradeSchema(Connection &c, int version, std::span<const SchemaStep> steps, Record &&recordVersion)
    {
        for (const SchemaStep &step : steps)
            if (version < step.version) c.exec(step.sql);
        recordVersion(schemaTarget(version, steps));
        loadSigningKey(c);
    }
    void loadSigningKey(Connection &c);
    static void logMigration(int from, int to);
    // Runs `work` (one transaction) again while it fails only because a concurrent transaction
    // won; a short random pause lets the winner finish.
    template <class Work> auto retrying(Work &&work) -> decltype(work())
    {
        for (int attempt = 0;; ++attempt) {
            try {
                return work();
            } catch (const DatabaseError &e) {
                if (!e.isRetryable() || attempt >= 12) throw;
                retries.fetch_add(1);
                thread_local std::minstd_rand jitter(std::random_device{}());
                int64_t most = int64_t{1} << std::min(attempt, 6);
                clock_.pause(std::chrono::microseconds(
                    500 * (1 + static_cast<int64_t>(jitter() % static_cast<unsigned>(most)))));
            }
        }
    }

    std::string mintAccessToken(const std::string &accountId, const std::string &sessionId, int64_t expiresAt);
    void expireStaleOrders(Connection &c, int64_t ttlSeconds);

    Database &db_;
    ServerClock &clock_;
    std::string signingKey_;
};

}  // namespace quillo::cloud
