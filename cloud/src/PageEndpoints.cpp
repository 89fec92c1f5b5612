// The browser pages: the sign-in stand-in, e-mail confirmation and password reset.
#include "CloudServer.h"

#include "Crypto.h"
#include "HttpExchange.h"
#include "Log.h"
#include "OpenIdClient.h"
#include "Pages.h"

namespace quillo::cloud {

using httplib::Request;
using httplib::Response;

void CloudServer::consentPage(const Request &req, Response &res)
{
    auto request = store_->oauthRequest(req.get_param_value("request"));
    if (!request || request->state != "started")
        return sendHtml(res, 404, pages::message("Sign-in link expired", "Start again from Quillo."));
    sendHtml(res, 200, pages::consent(request->id, request->kind == "reauth"));
}

void CloudServer::consentDecision(const Request &req, Response &res)
{
    auto form = parseForm(req.body);
    auto request = store_->oauthRequest(form["request"]);
    if (!request || request->state != "started")
        return sendHtml(res, 404, pages::message("Sign-in link expired", "Start again from Quillo."));
    if (form["decision"] != "allow") {
        store_->denyOAuthRequest(request->id);
        return res.set_redirect("quillo://auth/callback?error=access_denied", 302);
    }
    std::string email = trimmed(form["email"]);
    if (!validEmail(email)) return sendHtml(res, 400, pages::consent(request->id, request->kind == "reauth"));
    auto code = store_->authorizeOAuthRequest(request->id, email);
    if (!code) return sendHtml(res, 409, pages::message("Sign-in link already used", "Start again from Quillo."));
    res.set_redirect("quillo://auth/callback?code=" + *code, 302);
}

// The provider sends the browser back here with the code of its round (state = our request id).
void CloudServer::providerCallback(const Request &req, Response &res)
{
    auto request = store_->oauthRequest(req.get_param_value("state"));
    if (!request || request->state != "started")
        return sendHtml(res, 404, pages::message("Sign-in link expired", "Start again from Quillo."));
    if (req.has_param("error") || !req.has_param("code")) {
        store_->denyOAuthRequest(request->id);
        return res.set_redirect("quillo://auth/callback?error=access_denied", 302);
    }
    auto outcome = openId_->redeem(req.get_param_value("code"), providerRoundSecret(request->id, "pkce"), redirectUri(),
                                   providerRoundSecret(request->id, "nonce"));
    if (!outcome.identity || !validEmail(outcome.identity->email)) {
        log::warn("oidc_sign_in_refused", {{"reason", outcome.identity ? "invalid_email" : outcome.failure}});
        store_->denyOAuthRequest(request->id);
        return res.set_redirect("quillo://auth/callback?error=server_error", 302);
    }
    auto code = store_->authorizeOAuthRequest(request->id, outcome.identity->email);
    if (!code) return sendHtml(res, 409, pages::message("Sign-in link already used", "Start again from Quillo."));
    res.set_redirect("quillo://auth/callback?code=" + *code, 302);
}

void CloudServer::confirmPage(const Request &req, Response &res)
{
    std::string token = req.get_param_value("token");
    if (!store_->emailTokenValid(token, "confirm"))
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo to send a new confirmation e-mail."));
    sendHtml(res, 200, pages::confirm(token));
}

void CloudServer::confirmAction(const Request &req, Response &res)
{
    auto form = parseForm(req.body);
    auto account = store_->consumeEmailToken(form["token"], "confirm");
    if (!account)
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo to send a new confirmation e-mail."));
    store_->confirmEmail(*account);
    sendHtml(res, 200, pages::message("E-mail confirmed", "Your Quillo account is ready. Sign in from Quillo."));
}

void CloudServer::resetPage(const Request &req, Response &res)
{
    std::string token = req.get_param_value("token");
    if (!store_->emailTokenValid(token, "reset"))
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo for a new password reset e-mail."));
    sendHtml(res, 200, pages::resetForm(token, ""));
}

void CloudServer::resetAction(const Request &req, Response &res)
{
    auto form = parseForm(req.body);
    std::string token = form["token"], password = form["password"];
    if (!store_->emailTokenValid(token, "reset"))
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo for a new password reset e-mail."));
    long length = codePoints(password);
    if (length < 8 || length > 128)
        return sendHtml(res, 400, pages::resetForm(token, "Use a password between 8 and 128 characters."));
    auto owner = store_->emailTokenAccount(token, "reset");
    if (owner && weakPassword(password, owner->email))
        return sendHtml(res, 400, pages::resetForm(token, "This password is too easy to guess. Choose another."));
    auto account = store_->consumeEmailToken(token, "reset");
    if (!account)
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo for a new password reset e-mail."));
    store_->setPassword(*account, hashPassword(password));
    store_->confirmEmail(*account);  // the mailbox owner answered
    store_->revokeAllSessions(*account);
    sendHtml(res, 200, pages::message("Password changed", "Sign in to Quillo with your new password."));
}

}  // namespace quillo::cloud
