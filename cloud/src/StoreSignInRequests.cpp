// Browser sign-in and re-verification requests: their codes, proofs and outcomes.
#include "Store.h"

#include "Crypto.h"
#include "StoreRows.h"

namespace quillo::cloud {

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
    return retrying([&]() -> std::optional<OAuthRequest> {
        auto c = db_.lease();
        Transaction tx(*c, true);
        std::optional<OAuthRequest> r;
        {
            auto q = c->query(std::string("SELECT ") + kOAuthColumns +
                              " FROM oauth_requests WHERE code_hash = ? AND kind = ? AND state = 'authorized' AND "
                              "code_expires_at >= ?");
            q.bind(1, hashToken(code)).bind(2, kind).bind(3, clock_.nowSeconds());
            if (!q.step()) return std::nullopt;
            r = readOAuth(q);
        }
        // A code works once, whether or not the verifier that comes with it is right.
        c->query("UPDATE oauth_requests SET state = 'code_used', code_hash = NULL WHERE id = ?").bind(1, r->id).run();
        tx.commit();
        return r;
    });
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
