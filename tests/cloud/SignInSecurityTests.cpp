// Sign-in that an attacker cannot bend: Google only through a real OpenID Connect provider (the
// stand-in page only when a developer asks for it, on loopback), ID tokens checked in full, an
// address vouched for by the provider taking an unconfirmed account away from whoever created it,
// and Google verification only for Google sessions.
#include "CloudTestServer.h"
#include "TestIdentityProvider.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace cloudtest;

namespace {

const std::string kPassword = "long enough secret";

std::string logOf(const CloudTestServer& server) {
    std::ifstream in(server.directory() + "/stderr.log");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs quillo-cloud with these options and returns its exit status and what it printed; for
// option errors, which end the program before it listens.
std::pair<int, std::string> runServer(const std::string& options) {
    std::string command = cloudBinary() + " --port 0 --http --db /nonexistent/db " + options + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

json startBody(const std::string& verifier) {
    return {{"action", "start_google_oauth"},
            {"codeChallenge", pkceChallenge(verifier)},
            {"installationId", kInstallationId}};
}

TEST(GoogleStandIn, IsOffUnlessTheDeveloperAsksForIt) {
    CloudTestServer server;
    Reply start = server.auth(startBody(base64Url(std::string(32, 'a'))));
    EXPECT_EQ(start.status, 404) << start.text;
    EXPECT_EQ(start.error(), "google_sign_in_unavailable");
    EXPECT_EQ(server.get("/oauth/google?request=x").status, 404);
    Reply forged = server.post("/oauth/google", "request=x&email=victim@example.com&decision=allow", {},
                               "application/x-www-form-urlencoded");
    EXPECT_EQ(forged.status, 404);
}

TEST(GoogleStandIn, RefusesToStartOnAnAddressBeyondLoopback) {
    auto [status, out] = runServer("--host 0.0.0.0 --dev-google-stand-in");
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("--dev-google-stand-in signs anyone in"), std::string::npos) << out;
    auto [status2, out2] = runServer("--host 127.0.0.1 --public-host quillo.example.com --dev-google-stand-in");
    EXPECT_EQ(status2, 2);
    EXPECT_NE(out2.find("loopback"), std::string::npos) << out2;
    auto [status3, out3] = runServer("--oidc-issuer http://idp.example.com --oidc-client-id x");
    EXPECT_EQ(status3, 2);
    EXPECT_NE(out3.find("--oidc-issuer needs an https address"), std::string::npos) << out3;
}

// The provider's verdict is used the same way whichever provider gave it.
TEST(GoogleStandIn, AnAddressItConfirmsLosesAPasswordNobodyConfirmed) {
    CloudTestServer server({"--dev-google-stand-in"});
    ASSERT_EQ(server
                  .auth({{"action", "sign_up"},
                         {"email", "victim@example.com"},
                         {"password", "attacker chose this"},
                         {"installationId", kInstallationId}})
                  .status,
              200);
    std::string verifier = base64Url(std::string(32, 'v'));
    Reply start = server.auth(startBody(verifier));
    ASSERT_EQ(start.status, 200) << start.text;
    Reply decision = server.post("/oauth/google",
                                 "request=" + queryValue(start.body["oauthURL"], "request") +
                                     "&email=Victim%40example.com&decision=allow",
                                 {}, "application/x-www-form-urlencoded");
    Reply session = server.auth({{"action", "complete_google_oauth"},
                                 {"authCode", queryValue(decision.header("Location"), "code")},
                                 {"codeVerifier", verifier},
                                 {"installationId", kInstallationId}});
    ASSERT_EQ(session.status, 200) << session.text;
    Reply attacker = server.auth({{"action", "sign_in"},
                                  {"email", "victim@example.com"},
                                  {"password", "attacker chose this"},
                                  {"installationId", kInstallationId}});
    EXPECT_EQ(attacker.status, 401) << attacker.text;
}

class OpenIdSignIn : public ::testing::Test {
protected:
    TestIdentityProvider provider;
    std::string dir = makeDir();
    CloudTestServer server{provider.serverOptions(dir)};

    ~OpenIdSignIn() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    static std::string makeDir() {
        char templ[] = "/tmp/quillo-oidc-XXXXXX";
        return mkdtemp(templ) ? templ : "/tmp";
    }

    struct Round {
        std::string callback; // the quillo:// address the browser ends on
        std::string verifier;
    };

    // The app starts a sign-in, the browser passes the provider and comes back to the server.
    Round browse(const std::string& startAction = "start_google_oauth", const std::string& token = {}) {
        Round r;
        r.verifier = base64Url(std::string(32, static_cast<char>('A' + (counter_++ % 26))));
        json body = {{"action", startAction}, {"codeChallenge", pkceChallenge(r.verifier)}};
        if (startAction == "start_google_oauth") body["installationId"] = kInstallationId;
        Reply start = server.auth(body, token);
        EXPECT_EQ(start.status, 200) << start.text;
        if (start.status != 200) return r;
        lastStart = start.body;
        std::string url = start.body["oauthURL"];
        EXPECT_EQ(url.rfind(provider.issuer() + "/authorize?", 0), 0u) << url;
        EXPECT_FALSE(queryValue(url, "state").empty());
        EXPECT_FALSE(queryValue(url, "nonce").empty());
        EXPECT_EQ(queryValue(url, "code_challenge_method"), "S256");
        std::string back = provider.approve(url);
        EXPECT_EQ(back.rfind("/oauth/callback?", 0), 0u) << back;
        lastCallbackPath = back;
        Reply landed = server.get(back);
        EXPECT_EQ(landed.status, 302) << landed.text;
        r.callback = landed.header("Location");
        EXPECT_EQ(r.callback.rfind("quillo://auth/callback?", 0), 0u) << r.callback;
        return r;
    }

    Reply complete(const Round& r) {
        return server.auth({{"action", "complete_google_oauth"},
                            {"authCode", queryValue(r.callback, "code")},
                            {"codeVerifier", r.verifier},
                            {"installationId", kInstallationId}});
    }

    // A sign-in whose ID token is wrong in the planned way ends without a code, for that reason.
    void expectRefused(const IdTokenPlan& plan, const std::string& reason) {
        provider.plan(plan);
        Round r = browse();
        EXPECT_TRUE(queryValue(r.callback, "code").empty()) << reason << ": " << r.callback;
        EXPECT_EQ(queryValue(r.callback, "error"), "server_error") << reason;
        EXPECT_NE(logOf(server).find("\"reason\":\"" + reason + "\""), std::string::npos) << reason;
    }

    json lastStart;
    std::string lastCallbackPath;

private:
    int counter_ = 0;
};

TEST_F(OpenIdSignIn, AVerifiedIdentityFromTheProviderSignsIn) {
    IdTokenPlan plan;
    plan.email = "Real.User@example.com";
    provider.plan(plan);
    Round r = browse();
    Reply session = complete(r);
    ASSERT_EQ(session.status, 200) << session.text;
    EXPECT_EQ(session.body["user"]["provider"], "google");
    EXPECT_EQ(session.body["user"]["email"], "Real.User@example.com");
    // The round is over: its state and its code work once.
    EXPECT_EQ(server.get(lastCallbackPath).status, 404);
    EXPECT_EQ(complete(r).error(), "google_auth_failed");
    EXPECT_EQ(server.get("/oauth/callback?state=unknown&code=x").status, 404);

    // P-256 keys sign as well.
    plan.kid = "ec-1";
    provider.plan(plan);
    EXPECT_EQ(complete(browse()).status, 200);
}

TEST_F(OpenIdSignIn, TokensThatAreWrongInAnyWayAreRefused) {
    IdTokenPlan good;
    provider.plan(good);
    ASSERT_EQ(complete(browse()).status, 200); // the key set is loaded

    IdTokenPlan p = good;
    p.audience = "someone-else";
    expectRefused(p, "wrong_audience");
    p = good;
    p.expiresIn = -120;
    expectRefused(p, "expired");
    p = good;
    p.kid = "rsa-unknown";
    p.signingKid = "rsa-1";
    expectRefused(p, "unknown_key");
    p = good;
    p.corruptSignature = true;
    expectRefused(p, "bad_signature");
    p = good;
    p.kid = "ec-1";
    p.signingKid = "rsa-1"; // the header names a key that did not sign
    expectRefused(p, "unknown_key");
    p = good;
    p.emailVerified = false;
    expectRefused(p, "email_unverified");
    p = good;
    p.emailVerified = nullptr;
    expectRefused(p, "email_unverified");
    p = good;
    p.issuer = "https://127.0.0.1:1/other";
    expectRefused(p, "wrong_issuer");
    p = good;
    p.nonce = "a-nonce-of-another-round";
    expectRefused(p, "wrong_nonce");
    p = good;
    p.issuedAgo = 3600;
    p.expiresIn = 3600;
    expectRefused(p, "expired");
}

TEST_F(OpenIdSignIn, RotatedKeysAreFetchedAgainButNotOnEveryUnknownKey) {
    provider.plan({});
    ASSERT_EQ(complete(browse()).status, 200);
    provider.addKey("rsa-2", false);
    provider.withdrawKey("rsa-1");
    IdTokenPlan rotated;
    rotated.kid = "rsa-2";
    provider.plan(rotated);
    // Within a minute of the last fetch an unknown key is refused without asking again.
    expectRefused(rotated, "unknown_key");
    server.control("clock", {{"advanceSeconds", 120}});
    EXPECT_EQ(complete(browse()).status, 200);
}

TEST_F(OpenIdSignIn, TheProviderConfirmingAnAddressDiscardsAPasswordNobodyConfirmed) {
    // The attacker signs up the victim's address with a password of their own.
    Reply up = server.auth({{"action", "sign_up"},
                            {"email", "victim@example.com"},
                            {"password", "attacker chose this"},
                            {"installationId", kInstallationId}});
    ASSERT_EQ(up.status, 200) << up.text;
    IdTokenPlan plan;
    plan.email = "VICTIM@example.com";
    provider.plan(plan);
    Reply session = complete(browse());
    ASSERT_EQ(session.status, 200) << session.text;
    EXPECT_EQ(session.body["user"]["email"], "victim@example.com");
    Reply attacker = server.auth({{"action", "sign_in"},
                                  {"email", "victim@example.com"},
                                  {"password", "attacker chose this"},
                                  {"installationId", kInstallationId}});
    EXPECT_EQ(attacker.status, 401) << attacker.text;
    EXPECT_EQ(attacker.error(), "invalid_credentials");
}

TEST_F(OpenIdSignIn, AConfirmedPasswordSurvivesAGoogleSignIn) {
    server.createAccount("owner@example.com", kPassword, 1);
    IdTokenPlan plan;
    plan.email = "owner@example.com";
    provider.plan(plan);
    ASSERT_EQ(complete(browse()).status, 200);
    EXPECT_EQ(server
                  .auth({{"action", "sign_in"},
                         {"email", "owner@example.com"},
                         {"password", kPassword},
                         {"installationId", kInstallationId}})
                  .status,
              200);
}

TEST_F(OpenIdSignIn, GoogleVerificationBeforeDeletionIsForGoogleSessionsOnly) {
    // A password session, however obtained, cannot switch to the Google path.
    server.createAccount("pw@example.com", kPassword, 1);
    std::string passwordToken = server.signIn("pw@example.com", kPassword)["accessToken"];
    Reply start = server.auth(
        {{"action", "start_google_reauthentication"}, {"codeChallenge", pkceChallenge(std::string(43, 'r'))}},
        passwordToken);
    EXPECT_EQ(start.status, 403) << start.text;
    EXPECT_EQ(start.error(), "reauthentication_failed");
    EXPECT_EQ(
        server
            .auth({{"action", "delete_google_account"}, {"reauthenticationProof", base64Url(std::string(32, 'p'))}},
                  passwordToken)
            .error(),
        "reauthentication_failed");

    // A Google session verifies through the provider and deletes.
    IdTokenPlan plan;
    plan.email = "google.only@example.com";
    provider.plan(plan);
    std::string token = complete(browse()).body["accessToken"];
    ASSERT_FALSE(token.empty());
    Round again = browse("start_google_reauthentication", token);
    std::string proof = lastStart["reauthenticationProof"];
    Reply verified = server.auth({{"action", "complete_google_reauthentication"},
                                  {"authCode", queryValue(again.callback, "code")},
                                  {"codeVerifier", again.verifier},
                                  {"reauthenticationProof", proof}},
                                 token);
    EXPECT_EQ(verified.status, 200) << verified.text;
    EXPECT_EQ(server.auth({{"action", "delete_google_account"}, {"reauthenticationProof", proof}}, token).status, 200);
}

} // namespace
