// Every account action of the auth endpoint, the mails they write and the browser pages.
#include "CloudTestServer.h"

#include <gtest/gtest.h>

#include <regex>

using namespace cloudtest;

namespace {

const std::string kPassword = "long enough secret";

json signUpBody(const std::string& email, const std::string& password = kPassword) {
    return {{"action", "sign_up"}, {"email", email}, {"password", password}, {"installationId", kInstallationId}};
}

json signInBody(const std::string& email, const std::string& password = kPassword) {
    return {{"action", "sign_in"}, {"email", email}, {"password", password}, {"installationId", kInstallationId}};
}

bool isLowerUuid(const std::string& s) {
    return std::regex_match(s, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}"));
}

// Posts a form the way a browser would.
Reply submitForm(const CloudTestServer& s, const std::string& path, const std::string& form) {
    return s.post(path, form, {}, "application/x-www-form-urlencoded");
}

class AuthContract : public ::testing::Test {
protected:
    CloudTestServer server{{"--dev-google-stand-in"}};
};

TEST_F(AuthContract, SignUpWaitsForTheMailedConfirmationBeforeSignIn) {
    Reply up = server.auth(signUpBody("new@example.com"));
    ASSERT_EQ(up.status, 200) << up.text;
    EXPECT_EQ(up.body["emailConfirmationRequired"], true);
    EXPECT_FALSE(up.body.contains("accessToken"));
    Reply early = server.auth(signInBody("new@example.com"));
    EXPECT_EQ(early.status, 403);
    EXPECT_EQ(early.error(), "email_not_confirmed");

    auto mails = server.mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_NE(mails[0].find("To: new@example.com"), std::string::npos);
    std::string link = linkIn(mails[0]);
    ASSERT_EQ(link.rfind(server.base() + "/auth/confirm?token=", 0), 0u) << link;
    EXPECT_EQ(server.get(pathAndQuery(link)).status, 200);
    Reply confirmed = submitForm(server, "/auth/confirm", "token=" + queryValue(link, "token"));
    EXPECT_EQ(confirmed.status, 200);
    EXPECT_EQ(submitForm(server, "/auth/confirm", "token=" + queryValue(link, "token")).status, 404); // used once

    Reply in = server.auth(signInBody("new@example.com"));
    ASSERT_EQ(in.status, 200);
    EXPECT_TRUE(isLowerUuid(in.body["user"]["id"]));
    EXPECT_EQ(in.body["user"]["email"], "new@example.com");
    EXPECT_EQ(in.body["user"]["provider"], "email");
}

TEST(AuthWithoutConfirmation, SignUpReturnsASessionAtOnce) {
    CloudTestServer server({"--no-email-confirmation", "--signup-credits", "2"});
    Reply up = server.auth(signUpBody("quick@example.com"));
    ASSERT_EQ(up.status, 200);
    ASSERT_TRUE(up.body.contains("accessToken"));
    Reply balance = server.get("/api/correct", CloudTestServer::bearer(up.body["accessToken"]));
    EXPECT_DOUBLE_EQ(balance.body["balanceCredits"].get<double>(), 2);
}

TEST_F(AuthContract, SignUpRefusalsUseTheCodesTheClientKnows) {
    struct Case {
        json body;
        int status;
        const char* code;
    } cases[] = {
        {signUpBody("not-an-address"), 400, "invalid_email"},
        {signUpBody("a@example.com", "short7!"), 400, "invalid_password"},
        {signUpBody("a@example.com", std::string(129, 'k')), 400, "invalid_password"},
        {signUpBody("a@example.com", "password123"), 400, "weak_password"},
        {{{"action", "sign_up"}, {"email", "a@example.com"}, {"installationId", kInstallationId}},
         400,
         "missing_required_field"},
        {{{"action", "sign_up"}, {"email", "a@example.com"}, {"password", kPassword}, {"installationId", "nope"}},
         400,
         "invalid_installation_id"},
        {{{"action", "sign_up"},
          {"email", "a@example.com"},
          {"password", 12345678},
          {"installationId", kInstallationId}},
         400,
         "invalid_field"},
    };
    for (auto& c : cases) {
        Reply r = server.auth(c.body);
        EXPECT_EQ(r.status, c.status) << c.body.dump();
        EXPECT_EQ(r.error(), c.code) << c.body.dump();
    }
    EXPECT_EQ(server.auth(signUpBody("taken@example.com")).status, 200);
    Reply again = server.auth(signUpBody("Taken@Example.com"));
    EXPECT_EQ(again.status, 409);
    EXPECT_EQ(again.error(), "account_already_exists");
}

TEST_F(AuthContract, WrongPasswordIsInvalidCredentialsAndRepeatedFailuresAreRateLimited) {
    server.createAccount("u@example.com", kPassword, 0);
    Reply wrong = server.auth(signInBody("u@example.com", "wrong password!"));
    EXPECT_EQ(wrong.status, 401);
    EXPECT_EQ(wrong.error(), "invalid_credentials");
    EXPECT_EQ(server.auth(signInBody("nobody@example.com")).error(), "invalid_credentials");
    // Each failure after the wait before it counts, so the last wait is long enough that a slow
    // machine cannot outlast it before the next attempt.
    for (int i = 0; i < 9; ++i) {
        server.auth(signInBody("u@example.com", "wrong password!"));
        server.control("clock", {{"advanceSeconds", 60}});
    }
    server.auth(signInBody("u@example.com", "wrong password!"));
    Reply limited = server.auth(signInBody("u@example.com"));
    EXPECT_EQ(limited.status, 429);
    EXPECT_EQ(limited.error(), "rate_limited");
    server.control("clock", {{"advanceSeconds", 901}});
    EXPECT_EQ(server.auth(signInBody("u@example.com")).status, 200);
}

TEST_F(AuthContract, AccessTokenCarriesASessionIdThatSurvivesRefresh) {
    server.createAccount("r@example.com", kPassword, 1);
    json session = server.signIn("r@example.com", kPassword);
    json claims = jwtPayload(session["accessToken"]);
    ASSERT_TRUE(claims.is_object());
    std::string sessionId = claims["session_id"];
    EXPECT_TRUE(isLowerUuid(sessionId));
    EXPECT_EQ(claims["sub"], session["user"]["id"]);
    EXPECT_GT(session["expiresIn"].get<int64_t>(), 0);
    EXPECT_GT(session["expiresAt"].get<double>(), 1.6e9);

    Reply refreshed = server.auth({{"action", "refresh"}, {"refreshToken", session["refreshToken"]}});
    ASSERT_EQ(refreshed.status, 200);
    EXPECT_NE(refreshed.body["accessToken"], session["accessToken"]);
    EXPECT_NE(refreshed.body["refreshToken"], session["refreshToken"]);
    EXPECT_EQ(jwtPayload(refreshed.body["accessToken"])["session_id"], sessionId);
    EXPECT_EQ(refreshed.body["user"]["id"], session["user"]["id"]);
    EXPECT_EQ(server.get("/api/correct", CloudTestServer::bearer(refreshed.body["accessToken"])).status, 200);

    // The replaced refresh token still works for a minute (a lost answer), then not.
    EXPECT_EQ(server.auth({{"action", "refresh"}, {"refreshToken", session["refreshToken"]}}).status, 200);
    server.control("clock", {{"advanceSeconds", 61}});
    Reply stale = server.auth({{"action", "refresh"}, {"refreshToken", session["refreshToken"]}});
    EXPECT_EQ(stale.status, 401);
    Reply unknown = server.auth({{"action", "refresh"}, {"refreshToken", "made-up"}});
    EXPECT_EQ(unknown.status, 401);
}

TEST_F(AuthContract, ShortTokenLifetimeFromTheControlIsReported) {
    server.createAccount("t@example.com", kPassword, 1);
    server.control("token-expiry", {{"accessTokenSeconds", 120}});
    json session = server.signIn("t@example.com", kPassword);
    EXPECT_EQ(session["expiresIn"], 120);
    server.control("clock", {{"advanceSeconds", 121}});
    EXPECT_EQ(server.get("/api/correct", CloudTestServer::bearer(session["accessToken"])).error(), "token_expired");
    Reply refreshed = server.auth({{"action", "refresh"}, {"refreshToken", session["refreshToken"]}});
    EXPECT_EQ(server.get("/api/correct", CloudTestServer::bearer(refreshed.body["accessToken"])).status, 200);
}

TEST_F(AuthContract, SignOutRevokesTheSessionOnly) {
    server.createAccount("o@example.com", kPassword, 1);
    json a = server.signIn("o@example.com", kPassword), b = server.signIn("o@example.com", kPassword);
    Reply out = server.auth({{"action", "sign_out"}}, a["accessToken"]);
    EXPECT_EQ(out.status, 200);
    EXPECT_TRUE(out.body.is_object());
    Reply after = server.get("/api/correct", CloudTestServer::bearer(a["accessToken"]));
    EXPECT_EQ(after.status, 401);
    EXPECT_EQ(after.error(), "session_invalid");
    EXPECT_EQ(server.auth({{"action", "refresh"}, {"refreshToken", a["refreshToken"]}}).status, 401);
    EXPECT_EQ(server.get("/api/correct", CloudTestServer::bearer(b["accessToken"])).status, 200);
    Reply anonymous = server.auth({{"action", "sign_out"}});
    EXPECT_EQ(anonymous.status, 401);
    EXPECT_EQ(anonymous.error(), "session_required");
}

TEST_F(AuthContract, PasswordResetMailSetsANewPasswordAndEndsOldSessions) {
    server.createAccount("forgot@example.com", kPassword, 1);
    json old = server.signIn("forgot@example.com", kPassword);
    Reply unknown = server.auth({{"action", "request_password_reset"}, {"email", "ghost@example.com"}});
    EXPECT_EQ(unknown.status, 200);
    EXPECT_TRUE(server.mails().empty()); // same answer, no mail
    Reply asked = server.auth({{"action", "request_password_reset"}, {"email", "forgot@example.com"}});
    EXPECT_EQ(asked.status, 200);
    EXPECT_EQ(asked.body, json::object());
    auto mails = server.mails();
    ASSERT_EQ(mails.size(), 1u);
    std::string link = linkIn(mails[0]);
    ASSERT_NE(link.find("/auth/reset?token="), std::string::npos);
    EXPECT_EQ(server.get(pathAndQuery(link)).status, 200);
    std::string token = queryValue(link, "token");
    EXPECT_EQ(submitForm(server, "/auth/reset", "token=" + token + "&password=short").status, 400);
    EXPECT_EQ(submitForm(server, "/auth/reset", "token=" + token + "&password=brand+new+secret").status, 200);
    EXPECT_EQ(submitForm(server, "/auth/reset", "token=" + token + "&password=brand+new+secret").status, 404);
    EXPECT_EQ(server.auth(signInBody("forgot@example.com")).status, 401);
    EXPECT_EQ(server.auth(signInBody("forgot@example.com", "brand new secret")).status, 200);
    EXPECT_EQ(server.get("/api/correct", CloudTestServer::bearer(old["accessToken"])).status, 401);
    EXPECT_EQ(server.auth({{"action", "request_password_reset"}, {"email", "bad"}}).error(), "invalid_email");
}

TEST_F(AuthContract, ResendConfirmationMailsOnlyPendingAccounts) {
    server.auth(signUpBody("pending@example.com"));
    server.createAccount("done@example.com", kPassword, 0);
    EXPECT_EQ(server.auth({{"action", "resend_confirmation"}, {"email", "pending@example.com"}}).status, 200);
    EXPECT_EQ(server.auth({{"action", "resend_confirmation"}, {"email", "done@example.com"}}).status, 200);
    EXPECT_EQ(server.auth({{"action", "resend_confirmation"}, {"email", "ghost@example.com"}}).status, 200);
    auto mails = server.mails();
    ASSERT_EQ(mails.size(), 2u); // the sign-up mail and one resend
    for (auto& m : mails) EXPECT_NE(m.find("To: pending@example.com"), std::string::npos);
}

struct Browser {
    std::string code, error;
};

// Plays the user's part on the consent page and returns what the callback carries.
Browser consent(const CloudTestServer& server, const std::string& oauthURL, const std::string& email,
                bool allow = true) {
    Browser b;
    EXPECT_EQ(oauthURL.rfind(server.base() + "/oauth/google?request=", 0), 0u) << oauthURL;
    Reply page = server.get(pathAndQuery(oauthURL));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.text.find("<form"), std::string::npos);
    Reply decision = server.post("/oauth/google",
                                 "request=" + queryValue(oauthURL, "request") + "&email=" + email +
                                     "&decision=" + (allow ? "allow" : "deny"),
                                 {}, "application/x-www-form-urlencoded");
    EXPECT_EQ(decision.status, 302);
    std::string location = decision.header("Location");
    EXPECT_EQ(location.rfind("quillo://auth/callback?", 0), 0u) << location;
    b.code = queryValue(location, "code");
    b.error = queryValue(location, "error");
    return b;
}

TEST_F(AuthContract, GoogleSignInChecksTheProofKeyAndUsesACodeOnce) {
    std::string verifier = base64Url(std::string(32, '\x5a'));
    Reply start = server.auth({{"action", "start_google_oauth"},
                               {"codeChallenge", pkceChallenge(verifier)},
                               {"installationId", kInstallationId}});
    ASSERT_EQ(start.status, 200);
    std::string url = start.body["oauthURL"];
    EXPECT_EQ(url.rfind("https://", 0), 0u);
    Browser b = consent(server, url, "gmail.user@example.com");
    ASSERT_FALSE(b.code.empty());

    json complete = {{"action", "complete_google_oauth"},
                     {"authCode", b.code},
                     {"codeVerifier", verifier},
                     {"installationId", kInstallationId}};
    json wrong = complete;
    wrong["codeVerifier"] = base64Url(std::string(32, '\x11'));
    Reply refused = server.auth(wrong);
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.error(), "google_auth_failed");
    EXPECT_EQ(server.auth(complete).status, 400); // the failed try used the code up

    start = server.auth({{"action", "start_google_oauth"},
                         {"codeChallenge", pkceChallenge(verifier)},
                         {"installationId", kInstallationId}});
    b = consent(server, start.body["oauthURL"], "gmail.user@example.com");
    complete["authCode"] = b.code;
    Reply session = server.auth(complete);
    ASSERT_EQ(session.status, 200) << session.text;
    EXPECT_EQ(session.body["user"]["provider"], "google");
    EXPECT_EQ(session.body["user"]["email"], "gmail.user@example.com");
    EXPECT_EQ(server.auth(complete).error(), "google_auth_failed");
    // The consent page of a finished request is gone.
    EXPECT_EQ(server.get(pathAndQuery(start.body["oauthURL"])).status, 404);
}

TEST_F(AuthContract, GoogleConsentCancelledRedirectsWithAnError) {
    Reply start = server.auth({{"action", "start_google_oauth"},
                               {"codeChallenge", pkceChallenge(std::string(43, 'v'))},
                               {"installationId", kInstallationId}});
    Browser b = consent(server, start.body["oauthURL"], "x@example.com", false);
    EXPECT_TRUE(b.code.empty());
    EXPECT_EQ(b.error, "access_denied");
    Reply badChallenge = server.auth(
        {{"action", "start_google_oauth"}, {"codeChallenge", "short"}, {"installationId", kInstallationId}});
    EXPECT_EQ(badChallenge.status, 400);
}

TEST_F(AuthContract, DeletingAPasswordAccountNeedsThePasswordAndTheAuthenticatorCode) {
    json created = server.createAccount("mfa@example.com", kPassword, 3, true);
    ASSERT_TRUE(created.contains("totpSecret"));
    std::string token = server.signIn("mfa@example.com", kPassword)["accessToken"];
    Reply wrong = server.auth({{"action", "delete_account"}, {"password", "not the password"}}, token);
    EXPECT_EQ(wrong.status, 403);
    EXPECT_EQ(wrong.error(), "invalid_credentials");
    Reply noCode = server.auth({{"action", "delete_account"}, {"password", kPassword}}, token);
    EXPECT_EQ(noCode.error(), "mfa_required");
    Reply badCode = server.auth({{"action", "delete_account"}, {"password", kPassword}, {"mfaCode", "000000"}}, token);
    std::string code = server.control("totp-code", {{"email", "mfa@example.com"}}).body["code"];
    if (code != "000000") {
        EXPECT_EQ(badCode.error(), "invalid_mfa_code");
    }
    Reply anonymous = server.auth({{"action", "delete_account"}, {"password", kPassword}});
    EXPECT_EQ(anonymous.error(), "session_required");

    Reply deleted =
        server.auth({{"action", "delete_account"}, {"password", kPassword}, {"mfaCode", " " + code + " "}}, token);
    ASSERT_EQ(deleted.status, 200) << deleted.text;
    EXPECT_EQ(server.get("/api/correct", CloudTestServer::bearer(token)).error(), "session_invalid");
    EXPECT_EQ(server.auth(signInBody("mfa@example.com")).error(), "invalid_credentials");
}

TEST_F(AuthContract, DeletingWithoutAuthenticatorNeedsOnlyThePassword) {
    server.createAccount("plain@example.com", kPassword, 3);
    std::string token = server.signIn("plain@example.com", kPassword)["accessToken"];
    EXPECT_EQ(server.auth({{"action", "delete_account"}}, token).error(), "missing_required_field");
    EXPECT_EQ(server.auth({{"action", "delete_account"}, {"password", kPassword}}, token).status, 200);
}

TEST_F(AuthContract, DeletingAGoogleAccountNeedsAFreshMatchingGoogleVerification) {
    // Sign in with Google first.
    std::string verifier = base64Url(std::string(32, '\x33'));
    Reply start = server.auth({{"action", "start_google_oauth"},
                               {"codeChallenge", pkceChallenge(verifier)},
                               {"installationId", kInstallationId}});
    Browser b = consent(server, start.body["oauthURL"], "g@example.com");
    std::string token = server
                            .auth({{"action", "complete_google_oauth"},
                                   {"authCode", b.code},
                                   {"codeVerifier", verifier},
                                   {"installationId", kInstallationId}})
                            .body["accessToken"];
    ASSERT_FALSE(token.empty());

    auto reauth = [&](const std::string& email) {
        std::string v = base64Url(std::string(32, '\x44'));
        Reply r =
            server.auth({{"action", "start_google_reauthentication"}, {"codeChallenge", pkceChallenge(v)}}, token);
        EXPECT_EQ(r.status, 200);
        std::string proof = r.body["reauthenticationProof"];
        EXPECT_TRUE(std::regex_match(proof, std::regex("[A-Za-z0-9_-]{43}")));
        EXPECT_EQ(r.body["mfaRequired"], false);
        Browser browser = consent(server, r.body["oauthURL"], email);
        Reply done = server.auth({{"action", "complete_google_reauthentication"},
                                  {"authCode", browser.code},
                                  {"codeVerifier", v},
                                  {"reauthenticationProof", proof}},
                                 token);
        return std::make_pair(done, proof);
    };

    auto [mismatch, proof1] = reauth("someone.else@example.com");
    EXPECT_EQ(mismatch.status, 403);
    EXPECT_EQ(mismatch.error(), "reauthentication_failed");
    EXPECT_EQ(server.auth({{"action", "delete_google_account"}, {"reauthenticationProof", proof1}}, token).error(),
              "reauthentication_failed");

    auto [verified, proof2] = reauth("g@example.com");
    ASSERT_EQ(verified.status, 200) << verified.text;
    EXPECT_EQ(
        server
            .auth({{"action", "delete_google_account"}, {"reauthenticationProof", base64Url(std::string(32, 'x'))}},
                  token)
            .status,
        403);
    Reply deleted = server.auth({{"action", "delete_google_account"}, {"reauthenticationProof", proof2}}, token);
    EXPECT_EQ(deleted.status, 200);
    EXPECT_EQ(server.get("/api/correct", CloudTestServer::bearer(token)).status, 401);
}

TEST_F(AuthContract, GoogleReauthenticationOfAnAuthenticatorAccountAsksForTheCode) {
    server.createAccount("gm@example.com", kPassword, 1, true);
    // The account's owner signs in with Google: a Google session may verify through Google.
    std::string first = base64Url(std::string(32, '\x56'));
    Reply start = server.auth({{"action", "start_google_oauth"},
                               {"codeChallenge", pkceChallenge(first)},
                               {"installationId", kInstallationId}});
    Browser signIn = consent(server, start.body["oauthURL"], "gm@example.com");
    std::string token = server
                            .auth({{"action", "complete_google_oauth"},
                                   {"authCode", signIn.code},
                                   {"codeVerifier", first},
                                   {"installationId", kInstallationId}})
                            .body["accessToken"];
    ASSERT_FALSE(token.empty());
    std::string v = base64Url(std::string(32, '\x55'));
    Reply r = server.auth({{"action", "start_google_reauthentication"}, {"codeChallenge", pkceChallenge(v)}}, token);
    EXPECT_EQ(r.body["mfaRequired"], true);
    Browser browser = consent(server, r.body["oauthURL"], "gm@example.com");
    std::string code = server.control("totp-code", {{"email", "gm@example.com"}}).body["code"];
    Reply done = server.auth({{"action", "complete_google_reauthentication"},
                              {"authCode", browser.code},
                              {"codeVerifier", v},
                              {"reauthenticationProof", r.body["reauthenticationProof"]},
                              {"mfaCode", code}},
                             token);
    EXPECT_EQ(done.status, 200) << done.text;
}

TEST_F(AuthContract, UnknownOrMissingActionsAre400) {
    EXPECT_EQ(server.auth({{"action", "make_coffee"}}).error(), "unknown_action");
    EXPECT_EQ(server.auth({{"email", "x@example.com"}}).error(), "missing_required_field");
    for (const char* action : {"sign_out", "delete_account", "start_google_reauthentication",
                               "complete_google_reauthentication", "delete_google_account"}) {
        Reply r = server.auth({{"action", action}});
        EXPECT_EQ(r.status, 401) << action;
        EXPECT_EQ(r.error(), "session_required") << action;
    }
}

} // namespace
