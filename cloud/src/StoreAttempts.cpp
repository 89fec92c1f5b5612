// Failed attempts shared by every server on the database. Keys name addresses and clients, so
// only their hashes are kept.
#include "Store.h"

#include "StoreRows.h"

namespace quillo::cloud {

namespace {

std::string attemptKey(const std::string &scope, const std::string &key) { return hashToken(scope + '\0' + key); }

}  // namespace

Store::Attempts Store::attempts(const std::string &scope, const std::string &key)
{
    auto c = db_.lease();
    auto q = c->query("SELECT failures, last_at FROM attempts WHERE key_hash = ?");
    q.bind(1, attemptKey(scope, key));
    Attempts a;
    if (q.step()) {
        a.failures = static_cast<int>(q.integer(0));
        a.last = q.integer(1);
    }
    return a;
}

void Store::recordAttempt(const std::string &scope, const std::string &key, int64_t now, int64_t forgetAfter)
{
    // One statement: concurrent failures on several servers each count.
    retrying([&] {
        auto c = db_.lease();
        c->query("INSERT INTO attempts (key_hash, failures, last_at) VALUES (?1, 1, ?2) ON CONFLICT (key_hash) DO "
                 "UPDATE SET failures = CASE WHEN attempts.last_at < ?3 THEN 1 ELSE attempts.failures + 1 END, "
                 "last_at = ?2")
            .bind(1, attemptKey(scope, key))
            .bind(2, now)
            .bind(3, now - forgetAfter)
            .run();
    });
}

void Store::clearAttempts(const std::string &scope, const std::string &key)
{
    auto c = db_.lease();
    c->query("DELETE FROM attempts WHERE key_hash = ?").bind(1, attemptKey(scope, key)).run();
}

}  // namespace quillo::cloud
