#pragma once
// Rows and records every part of the store reads and writes alike.
#include "Crypto.h"
#include "Database.h"
#include "Store.h"

#include <cstdint>
#include <string>

namespace quillo::cloud {

// Tokens are kept only as their hash.
inline std::string hashToken(const std::string &token) { return crypto::sha256Hex(token); }

inline Account readAccount(Query &q)
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

inline constexpr const char *kAccountColumns =
    "id, email, password_hash, provider, email_confirmed, totp_secret, balance_micro, reserved_micro";

// Every change of a balance leaves its line.
inline void ledger(Connection &c, const std::string &account, int64_t delta, const char *reason, const std::string &ref,
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

}  // namespace quillo::cloud
