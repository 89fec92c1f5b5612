// Sessions: access tokens, refresh tokens and their rotation, revocation.
#include "Store.h"

#include "Crypto.h"
#include "Log.h"
#include "StoreRows.h"

#include <nlohmann/json.hpp>

namespace quillo::cloud {

namespace {

constexpr int64_t kPreviousRefreshGraceSeconds = 60;

}  // namespace

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
    return retrying([&]() -> IssuedSession {
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
    });
}

std::optional<IssuedSession> Store::refresh(const std::string &refreshToken)
{
    return retrying([&]() -> std::optional<IssuedSession> {
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
    });
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

}  // namespace quillo::cloud
