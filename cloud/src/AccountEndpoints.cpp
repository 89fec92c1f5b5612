// Accounts and sessions: /api/auth.
#include "CloudServer.h"

#include "Crypto.h"
#include "HttpExchange.h"
#include "Log.h"
#include "Pricing.h"

#include <algorithm>
#include <chrono>

namespace quillo::cloud {

using httplib::Request;
using httplib::Response;

namespace {

json sessionBody(const IssuedSession &s, int64_t now)
{
    return {{"accessToken", s.accessToken},
            {"refreshToken", s.refreshToken},
            {"expiresIn", std::max<int64_t>(0, s.expiresAt - std::max(now, s.issuedAt))},
            {"expiresAt", s.expiresAt},
            {"emailConfirmationRequired", false},
            {"user", {{"id", s.account.id}, {"email", s.account.email}, {"provider", s.provider}}}};
}

std::string pkceChallenge(const std::string &verifier) { return crypto::base64UrlEncode(crypto::sha256(verifier)); }

bool validVerifier(const std::string &v)
{
    if (v.size() < 43 || v.size() > 128) return false;
    for (char c : v)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~'))
            return false;
    return true;
}

}  // namespace

std::string CloudServer::clientAddress(const Request &req) const
{
    std::vector<std::string> forwarded;
    if (!proxies_.empty()) {
        size_t count = req.get_header_value_count(proxies_.headerName());
        for (size_t i = 0; i < count; ++i) forwarded.push_back(req.get_header_value(proxies_.headerName(), i));
    }
    return proxies_.clientAddress(req.remote_addr, forwarded);
}

int64_t CloudServer::attemptWait(const std::string &key) { return attempts_->wait(key, clock_.nowSeconds()); }

void CloudServer::recordFailedAttempt(const std::string &key) { attempts_->fail(key, clock_.nowSeconds()); }

bool CloudServer::acquireHashSlot()
{
    if (hashWaiting_.fetch_add(1) >= std::max(2, options_.threads / 2)) {
        hashWaiting_.fetch_sub(1);
        return false;
    }
    bool got = hashSlots_.try_acquire_for(std::chrono::seconds(5));
    hashWaiting_.fetch_sub(1);
    return got;
}

void CloudServer::releaseHashSlot() { hashSlots_.release(); }

std::string CloudServer::hashPassword(const std::string &password)
{
    return crypto::hashPassword(password, uint64_t{1} << options_.passwordHashCost);
}

// One password hash at a time per holder; a server that cannot get a slot soon answers 503.
struct HashSlot {
    HashSlot(CloudServer &server, Response &res) : server_(server)
    {
        if (!server_.acquireHashSlot()) {
            res.set_header("Retry-After", "1");
            throw RequestError{503, "service_busy"};
        }
    }
    ~HashSlot() { server_.releaseHashSlot(); }
    HashSlot(const HashSlot &) = delete;
    HashSlot &operator=(const HashSlot &) = delete;

private:
    CloudServer &server_;
};

void CloudServer::mailConfirmation(const Account &account)
{
    std::string token = store_->createEmailToken(account.id, "confirm", int64_t{48} * 3600);
    outbox_->write("confirm", account.email, "Confirm your Quillo account",
                   "Open this link to confirm your e-mail address and start using Quillo.",
                   baseUrl() + "/auth/confirm?token=" + token);
}

void CloudServer::handleAuth(const Request &req, Response &res)
{
    if (applyCommonFaults(req, res)) return;
    json body = parseObject(req);
    for (auto &[k, v] : body.items())
        if (!v.is_string() && !v.is_null()) throw RequestError{400, "invalid_field"};
    std::string action = requireNonEmpty(body, "action");
    int64_t now = clock_.nowSeconds();

    auto requireInstallation = [&] {
        std::string id = requireNonEmpty(body, "installationId");
        if (!crypto::isUuid(id)) throw RequestError{400, "invalid_installation_id"};
        return lowerAscii(id);
    };
    auto caller = [&]() -> std::optional<Caller> {
        auto a = authenticateRequest(*store_, req, res);
        if (!a.ok) return std::nullopt;
        return a.caller;
    };
    auto checkTotp = [&](const Account &account) {
        if (!account.totpSecret) return;
        auto code = optionalString(body, "mfaCode");
        std::string c = code ? trimmed(*code) : "";
        if (c.empty()) throw RequestError{403, "mfa_required"};
        if (int64_t wait = attemptWait("mfa:" + account.id)) {
            res.set_header("Retry-After", std::to_string(wait));
            throw RequestError{429, "rate_limited"};
        }
        auto step = crypto::totpStep(*account.totpSecret, c, now);
        // A code already used (or one older than the last used) is refused like a wrong one.
        if (!step || !store_->acceptTotpStep(account.id, *step)) {
            recordFailedAttempt("mfa:" + account.id);
            throw RequestError{403, "invalid_mfa_code"};
        }
    };
    auto challengeFrom = [&] {
        std::string challenge = requireNonEmpty(body, "codeChallenge");
        if (!crypto::isBase64Url(challenge, 43)) throw RequestError{400, "invalid_code_challenge"};
        return challenge;
    };

    if (action == "sign_up") {
        std::string email = requireNonEmpty(body, "email"), password = requireNonEmpty(body, "password");
        std::string installation = requireInstallation();
        if (!validEmail(email)) return sendError(res, 400, "invalid_email");
        long length = codePoints(password);
        if (length < 8 || length > 128) return sendError(res, 400, "invalid_password");
        if (weakPassword(password, email)) return sendError(res, 400, "weak_password");
        if (store_->accountByEmail(email)) return sendError(res, 409, "account_already_exists");
        Account account;
        try {
            std::string hash;
            {
                HashSlot slot(*this, res);
                hash = hashPassword(password);
            }
            account = store_->createAccount(email, hash, "email", !options_.requireEmailConfirmation,
                                            microFromCredits(options_.signupCredits));
        } catch (const DatabaseError &e) {
            if (e.isUniqueViolation())
                return sendError(res, 409, "account_already_exists");  // lost a race on the address
            throw;  // any other database fault answers 503 like every handler's
        }
        log::info("account_created", {{"provider", "email"}});
        if (options_.requireEmailConfirmation) {
            mailConfirmation(account);
            return sendJson(res, 200,
                            {{"emailConfirmationRequired", true},
                             {"user", {{"id", account.id}, {"email", account.email}, {"provider", "email"}}}});
        }
        return sendJson(res, 200, sessionBody(store_->issueSession(account, "email", installation), now));
    }
    if (action == "sign_in") {
        std::string email = requireNonEmpty(body, "email"), password = requireNonEmpty(body, "password");
        std::string installation = requireInstallation();
        // Throttled: the client that failed, growing with its failures and with those on the
        // address. A client that has not failed is never held back by someone else's failures.
        std::string client = "client:" + clientAddress(req), address = "signin:" + lowerAscii(email);
        if (attempts_->failures(client) > 0) {
            if (int64_t wait = std::max(attemptWait(client), attemptWait(address))) {
                res.set_header("Retry-After", std::to_string(wait));
                return sendError(res, 429, "rate_limited");
            }
        }
        auto account = store_->accountByEmail(email);
        bool hasPassword = account && account->passwordHash;
        bool ok = false;
        {
            // Exactly one hash check whether the address is known, has a password or not.
            HashSlot slot(*this, res);
            ok = crypto::verifyPassword(password, hasPassword ? *account->passwordHash : timingHash_) && hasPassword;
            if (ok && crypto::passwordNeedsRehash(*account->passwordHash, uint64_t{1} << options_.passwordHashCost))
                store_->setPassword(account->id, hashPassword(password));
        }
        if (!ok) {
            recordFailedAttempt(client);
            recordFailedAttempt(address);
            return sendError(res, 401, "invalid_credentials");
        }
        if (!account->confirmed) return sendError(res, 403, "email_not_confirmed");
        return sendJson(res, 200, sessionBody(store_->issueSession(*account, "email", installation), now));
    }
    if (action == "request_password_reset" || action == "resend_confirmation") {
        std::string email = requireNonEmpty(body, "email");
        if (!validEmail(email)) return sendError(res, 400, "invalid_email");
        std::string key = "mail:" + lowerAscii(email);
        if (int64_t wait = mails_->wait(key, now)) {
            res.set_header("Retry-After", std::to_string(wait));
            return sendError(res, 429, "rate_limited");
        }
        mails_->fail(key, now);  // counts mails sent, so an address cannot be flooded
        // The answer never tells whether the address has an account.
        if (auto account = store_->accountByEmail(email)) {
            if (action == "request_password_reset") {
                std::string token = store_->createEmailToken(account->id, "reset", 3600);
                outbox_->write("reset", account->email, "Reset your Quillo password",
                               "Open this link within an hour to choose a new password. If you did not ask for it, "
                               "ignore this message.",
                               baseUrl() + "/auth/reset?token=" + token);
            } else if (!account->confirmed) {
                mailConfirmation(*account);
            }
        }
        return sendJson(res, 200, json::object());
    }
    // Google sign-in needs a provider: a real one, or the stand-in a developer turned on.
    bool googleAvailable = openId_ || options_.googleStandIn;
    auto providerUnreachable = [&] {
        res.set_header("Retry-After", "5");
        sendError(res, 503, "google_sign_in_unavailable");
    };
    if (action == "start_google_oauth") {
        if (!googleAvailable) return sendError(res, 404, "google_sign_in_unavailable");
        std::string challenge = challengeFrom();
        std::string installation = requireInstallation();
        std::string id = store_->createOAuthRequest("signin", challenge, installation, std::nullopt, std::nullopt,
                                                    std::nullopt, false);
        auto page = signInPage(id);
        if (!page) return providerUnreachable();
        return sendJson(res, 200, {{"oauthURL", *page}});
    }
    if (action == "complete_google_oauth") {
        std::string code = requireNonEmpty(body, "authCode"), verifier = requireNonEmpty(body, "codeVerifier");
        std::string installation = requireInstallation();
        auto request = store_->takeOAuthCode(code, "signin");
        if (!request || !validVerifier(verifier) ||
            !crypto::constantTimeEquals(pkceChallenge(verifier), request->codeChallenge) || !request->chosenEmail)
            return sendError(res, 400, "google_auth_failed");
        auto account = store_->accountByEmail(*request->chosenEmail);
        if (!account) {
            account = store_->createAccount(*request->chosenEmail, std::nullopt, "google", true,
                                            microFromCredits(options_.signupCredits));
            log::info("account_created", {{"provider", "google"}});
        } else if (!account->confirmed) {
            // Google vouched for the address; a password set before anyone proved to own it may
            // be someone else's and goes.
            store_->confirmThroughProvider(account->id);
            account = store_->accountById(account->id);
            if (!account) return sendError(res, 400, "google_auth_failed");
        }
        return sendJson(res, 200, sessionBody(store_->issueSession(*account, "google", installation), now));
    }
    if (action == "refresh") {
        std::string token = requireNonEmpty(body, "refreshToken");
        auto session = store_->refresh(token);
        if (!session) return sendError(res, 401, "invalid_refresh_token");
        return sendJson(res, 200, sessionBody(*session, now));
    }
    if (action == "sign_out") {
        auto c = caller();
        if (!c) return;
        store_->revokeSession(c->sessionId);
        return sendJson(res, 200, json::object());
    }
    if (action == "delete_account") {
        auto c = caller();
        if (!c) return;
        std::string password = requireNonEmpty(body, "password");
        auto account = store_->accountById(c->accountId);
        if (!account) return sendError(res, 401, "session_invalid");
        std::string key = "delete:" + account->id;
        if (int64_t wait = attemptWait(key)) {
            res.set_header("Retry-After", std::to_string(wait));
            return sendError(res, 429, "rate_limited");
        }
        if (!account->passwordHash) return sendError(res, 403, "reauthentication_failed");
        bool verified = false;
        {
            HashSlot slot(*this, res);
            verified = crypto::verifyPassword(password, *account->passwordHash);
        }
        if (!verified) {
            recordFailedAttempt(key);
            return sendError(res, 403, "invalid_credentials");
        }
        checkTotp(*account);
        if (!store_->deleteAccount(account->id)) return sendError(res, 500, "account_deletion_failed");
        log::info("account_deleted", {{"provider", "email"}});
        return sendJson(res, 200, json::object());
    }
    // Deleting through a Google verification is for a session that Google signed in; a password
    // session proves itself with the password.
    auto googleCaller = [&]() -> std::optional<Caller> {
        auto c = caller();
        if (!c) return std::nullopt;
        if (c->provider != "google") {
            sendError(res, 403, "reauthentication_failed");
            return std::nullopt;
        }
        return c;
    };
    if (action == "start_google_reauthentication") {
        auto c = googleCaller();
        if (!c) return;
        if (!googleAvailable) return sendError(res, 404, "google_sign_in_unavailable");
        std::string challenge = challengeFrom();
        auto account = store_->accountById(c->accountId);
        if (!account) return sendError(res, 401, "session_invalid");
        std::string proof = crypto::randomToken(32);
        std::string id = store_->createOAuthRequest("reauth", challenge, std::nullopt, account->id, c->sessionId,
                                                    crypto::sha256Hex(proof), account->totpSecret.has_value());
        auto page = signInPage(id);
        if (!page) return providerUnreachable();
        return sendJson(
            res, 200,
            {{"oauthURL", *page}, {"reauthenticationProof", proof}, {"mfaRequired", account->totpSecret.has_value()}});
    }
    if (action == "complete_google_reauthentication") {
        auto c = googleCaller();
        if (!c) return;
        std::string code = requireNonEmpty(body, "authCode"), verifier = requireNonEmpty(body, "codeVerifier");
        std::string proof = requireNonEmpty(body, "reauthenticationProof");
        auto account = store_->accountById(c->accountId);
        if (!account) return sendError(res, 401, "session_invalid");
        auto started = store_->reauthenticationByProof(crypto::sha256Hex(proof));
        if (!started || started->accountId != account->id) return sendError(res, 403, "reauthentication_failed");
        auto request = store_->takeOAuthCode(code, "reauth");
        if (!request || request->id != started->id || !validVerifier(verifier) ||
            !crypto::constantTimeEquals(pkceChallenge(verifier), request->codeChallenge) || !request->chosenEmail)
            return sendError(res, 400, "google_auth_failed");
        if (lowerAscii(*request->chosenEmail) != lowerAscii(account->email))
            return sendError(res, 403, "reauthentication_failed");
        checkTotp(*account);
        store_->markReauthenticationVerified(request->id);
        return sendJson(res, 200, json::object());
    }
    if (action == "delete_google_account") {
        auto c = googleCaller();
        if (!c) return;
        std::string proof = requireNonEmpty(body, "reauthenticationProof");
        auto started = store_->reauthenticationByProof(crypto::sha256Hex(proof));
        if (!started || started->accountId != c->accountId || started->state != "verified" ||
            !store_->consumeVerifiedReauthentication(started->id))
            return sendError(res, 403, "reauthentication_failed");
        if (!store_->deleteAccount(c->accountId)) return sendError(res, 500, "account_deletion_failed");
        log::info("account_deleted", {{"provider", "google"}});
        return sendJson(res, 200, json::object());
    }
    sendError(res, 400, "unknown_action");
}

}  // namespace quillo::cloud
