// Accounts, their balances, and the one-time links mailed to their owners.
#include "Store.h"

#include "Crypto.h"
#include "StoreRows.h"

namespace quillo::cloud {

std::optional<Account> Store::accountByEmail(const std::string &email)
{
    auto c = db_.lease();
    // SQLite compares addresses without case by the column's collation, PostgreSQL by its index
    // on lower(email).
    auto q = c->query(std::string("SELECT ") + kAccountColumns +
                      (c->dialect() == Dialect::sqlite ? " FROM accounts WHERE email = ?"
                                                       : " FROM accounts WHERE lower(email) = lower(?)"));
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
    return retrying([&]() -> Account {
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
        c->query(
             "INSERT INTO accounts (id, email, password_hash, provider, email_confirmed, balance_micro, created_at) "
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
    });
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
    return retrying([&]() -> bool {
        auto c = db_.lease();
        AccountLock turn(*c, accountId);
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
    });
}

bool Store::deleteAccount(const std::string &accountId)
{
    return retrying([&]() -> bool {
        auto c = db_.lease();
        Transaction tx(*c, true);
        auto q = c->query("DELETE FROM accounts WHERE id = ?");
        q.bind(1, accountId).run();
        bool removed = q.changes() > 0;
        c->query("DELETE FROM ledger WHERE account_id = ?").bind(1, accountId).run();
        tx.commit();
        return removed;
    });
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
    return retrying([&]() -> std::optional<std::string> {
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
    });
}

}  // namespace quillo::cloud
