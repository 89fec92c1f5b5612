// What an attacker tries on accounts and their files: replayed refresh tokens and authenticator
// codes, locking the owner out with wrong passwords, stale or weak password resets, readable
// files, test controls driven from a browser page, weak TLS suites, cheap password hashes and
// start-up numbers the server cannot hold.
#include "AttemptThrottle.h"
#include "CloudTestServer.h"
#include "Crypto.h"
#include "ServerOptions.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace cloudtest;

namespace {

const std::string kPassword = "long enough secret";

json signInBody(const std::string& email, const std::string& password = kPassword) {
    return {{"action", "sign_in"}, {"email", email}, {"password", password}, {"installationId", kInstallationId}};
}

std::pair<int, std::string> runServer(const std::string& options) {
    std::string command = "timeout 20 " + cloudBinary() + " --port 0 --http --db /nonexistent/db " + options + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

int modeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

TEST(RefreshTokens, TheGraceOfAReplacedTokenRunsFromItsReplacementAndReuseEndsTheSession) {
    CloudTestServer server;
    server.createAccount("r@example.com", kPassword, 1);
    json first = server.signIn("r@example.com", kPassword);
    std::string r0 = first["refreshToken"];
    Reply second = server.auth({{"action", "refresh"}, {"refreshToken", r0}});
    ASSERT_EQ(second.status, 200);
    server.control("clock", {{"advanceSeconds", 50}});
    // Within the minute: the lost-answer case still works.
    Reply replay = server.auth({{"action", "refresh"}, {"refreshToken", r0}});
    ASSERT_EQ(replay.status, 200);
    server.control("clock", {{"advanceSeconds", 50}});
    // A hundred seconds after the replacement the old token is someone's copy: refused, and the
    // session it belongs to ends, whoever holds its newest tokens.
    EXPECT_EQ(server.auth({{"action", "refresh"}, {"refreshToken", r0}}).status, 401);
    EXPECT_EQ(server.auth({{"action", "refresh"}, {"refreshToken", replay.body["refreshToken"]}}).status, 401);
    EXPECT_EQ(server.get("/api/correct", CloudTestServer::bearer(replay.body["accessToken"])).status, 401);
}

TEST(SignInThrottle, FailuresFromElsewhereNeverLockTheOwnerOut) {
    CloudTestServer server;
    server.createAccount("owner@example.com", kPassword, 1);
    // The attacker's client, another loopback address.
    auto attacker = server.client();
    attacker->set_interface("127.0.0.2");
    int limited = 0;
    for (int i = 0; i < 15; ++i) {
        auto r =
            attacker->Post("/api/auth", signInBody("owner@example.com", "wrong password!").dump(), "application/json");
        ASSERT_TRUE(r);
        if (r->status == 429) {
            ++limited;
            EXPECT_FALSE(r->get_header_value("Retry-After").empty());
        }
    }
    EXPECT_GT(limited, 0) << "the failing client is slowed down";
    Reply owner = server.auth(signInBody("owner@example.com"));
    EXPECT_EQ(owner.status, 200) << owner.text;
}

TEST(SignInThrottle, TheTableForgetsItsOldestKeysNotAllOfThem) {
    quillo::cloud::MemoryAttemptThrottle throttle(100, 3, 900);
    for (int i = 0; i < 5; ++i) throttle.fail("signin:victim", 1000);
    EXPECT_GT(throttle.wait("signin:victim", 1000), 0);
    for (int i = 0; i < 150; ++i) throttle.fail("mail:filler" + std::to_string(i) + "@example.com", 1000);
    EXPECT_LE(throttle.size(), 100u);
    // The victim key was the oldest: it went. A key touched since stays.
    throttle.fail("signin:recent", 1000);
    for (int i = 0; i < 50; ++i) throttle.fail("mail:more" + std::to_string(i), 1000);
    EXPECT_EQ(throttle.failures("signin:recent"), 1);
    // Delays grow with the failures.
    quillo::cloud::MemoryAttemptThrottle growing(10, 3, 900);
    for (int i = 0; i < 4; ++i) growing.fail("k", 0);
    int64_t after4 = growing.wait("k", 0);
    for (int i = 0; i < 4; ++i) growing.fail("k", 0);
    EXPECT_GT(growing.wait("k", 0), after4);
    EXPECT_LE(growing.wait("k", 0), 900);
}

// Fires `count` sign-ins at once while both hashing slots are held, so the burst queues at them
// however fast it arrives; gives the slots back once every sign-in that could not queue has its
// answer. The statuses, in the order sent.
std::vector<int> burstAtHeldSlots(const CloudTestServer& server, size_t count,
                                  const std::function<int(size_t)>& signIn) {
    server.control("hashing", {{"hold", true}});
    std::vector<std::atomic<int>> statuses(count);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < count; ++i) threads.emplace_back([&, i] { statuses[i] = signIn(i); });
    // Those that wait for a slot answer only after it is given back; the rest answer at once.
    auto answered = [&] {
        return std::count_if(statuses.begin(), statuses.end(), [](const std::atomic<int>& s) { return s != 0; });
    };
    for (int polls = 0; polls < 400; ++polls) {
        int waiting = server.control("hashing", {{"hold", true}}).body["waiting"];
        if (waiting > 0 && answered() + waiting >= static_cast<long>(count)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    server.control("hashing", {{"hold", false}});
    for (auto& t : threads) t.join();
    std::vector<int> out;
    for (auto& s : statuses) out.push_back(s);
    return out;
}

TEST(SignInThrottle, ABurstOfSignInsIsToldToComeBackInsteadOfTakingEveryWorker) {
    // Real hashing cost: each sign-in's hash takes a core for a good fraction of a second.
    CloudTestServer server({"--password-hash-cost", "16"});
    server.createAccount("burst@example.com", kPassword, 1);
    std::vector<int> statuses =
        burstAtHeldSlots(server, 12, [&](size_t) { return server.auth(signInBody("burst@example.com")).status; });
    Reply health = server.get("/api/correct?action=health");
    EXPECT_EQ(health.status, 200);
    int ok = static_cast<int>(std::count(statuses.begin(), statuses.end(), 200));
    int busy = static_cast<int>(std::count(statuses.begin(), statuses.end(), 503));
    EXPECT_GT(ok, 0);
    EXPECT_GT(busy, 0) << "every sign-in waited for its hash";
    EXPECT_EQ(ok + busy, static_cast<int>(statuses.size()));
}

// Enumeration by timing: a sign-in to an unknown address or to one without a password costs the
// same hash as a wrong password on a known one. Seen without a clock: such a burst too is bounded
// by the hashing slots, where it would all be answered at once if it skipped the hash.
TEST(SignInTiming, UnknownAndGoogleOnlyAddressesCostAHashLikeAKnownOne) {
    CloudTestServer server({"--password-hash-cost", "15", "--dev-google-stand-in"});
    std::string verifier = base64Url(std::string(32, 'q'));
    Reply start = server.auth({{"action", "start_google_oauth"},
                               {"codeChallenge", pkceChallenge(verifier)},
                               {"installationId", kInstallationId}});
    ASSERT_EQ(start.status, 200) << start.text;
    Reply decision = server.post("/oauth/google",
                                 "request=" + queryValue(start.body["oauthURL"], "request") +
                                     "&email=google.only@example.com&decision=allow",
                                 {}, "application/x-www-form-urlencoded");
    ASSERT_EQ(server
                  .auth({{"action", "complete_google_oauth"},
                         {"authCode", queryValue(decision.header("Location"), "code")},
                         {"codeVerifier", verifier},
                         {"installationId", kInstallationId}})
                  .status,
              200);
    // Each burst from a client of its own, which has not failed before.
    for (auto [email, source] :
         {std::pair{"nobody@example.com", "127.0.0.3"}, {"google.only@example.com", "127.0.0.4"}}) {
        std::vector<int> statuses = burstAtHeldSlots(server, 12, [&, email = email, source = source](size_t i) {
            auto c = server.client();
            c->set_interface(source);
            auto r = c->Post("/api/auth", signInBody(email, "some password " + std::to_string(i)).dump(),
                             "application/json");
            return r ? r->status : -1;
        });
        int refused = static_cast<int>(std::count(statuses.begin(), statuses.end(), 401));
        int busy = static_cast<int>(std::count(statuses.begin(), statuses.end(), 503));
        int held = static_cast<int>(std::count(statuses.begin(), statuses.end(), 429));
        EXPECT_GT(refused, 0) << email;
        EXPECT_GT(busy, 0) << email << ": answered without hashing";
        EXPECT_EQ(refused + busy + held, static_cast<int>(statuses.size())) << email;
    }
}

TEST(PasswordReset, OnlyTheNewestLinkWorksAndWeakPasswordsAreRefused) {
    CloudTestServer server;
    server.createAccount("reset@example.com", kPassword, 1);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(server.auth({{"action", "request_password_reset"}, {"email", "reset@example.com"}}).status, 200);
    auto mails = server.mails();
    ASSERT_EQ(mails.size(), 2u);
    std::string older = queryValue(linkIn(mails[0]), "token"), newer = queryValue(linkIn(mails[1]), "token");
    EXPECT_EQ(server.get("/auth/reset?token=" + older).status, 404);
    EXPECT_EQ(server
                  .post("/auth/reset", "token=" + older + "&password=another+long+secret", {},
                        "application/x-www-form-urlencoded")
                  .status,
              404);
    Reply weak =
        server.post("/auth/reset", "token=" + newer + "&password=password123", {}, "application/x-www-form-urlencoded");
    EXPECT_EQ(weak.status, 400);
    Reply same =
        server.post("/auth/reset", "token=" + newer + "&password=qwertyuiop", {}, "application/x-www-form-urlencoded");
    EXPECT_EQ(same.status, 400);
    Reply good = server.post("/auth/reset", "token=" + newer + "&password=another+long+secret", {},
                             "application/x-www-form-urlencoded");
    EXPECT_EQ(good.status, 200);
    EXPECT_EQ(server.auth(signInBody("reset@example.com", "another long secret")).status, 200);
}

TEST(StoredFiles, DatabaseAndMailsAreTheOwnersAlone) {
    if (CloudTestServer::onPostgres()) GTEST_SKIP() << "the store is no file here";
    mode_t old = umask(022); // as a server started by hand
    CloudTestServer server;
    umask(old);
    server.createAccount("files@example.com", kPassword, 1);
    ASSERT_EQ(server.auth({{"action", "request_password_reset"}, {"email", "files@example.com"}}).status, 200);
    std::string db = server.directory() + "/cloud.sqlite3";
    EXPECT_EQ(modeOf(db), 0600);
    EXPECT_EQ(modeOf(db + "-wal"), 0600);
    EXPECT_EQ(modeOf(server.outbox()), 0700);
    for (auto& e : std::filesystem::directory_iterator(server.outbox())) EXPECT_EQ(modeOf(e.path()), 0600) << e.path();
}

TEST(TestControls, ABrowserPageCannotDriveThem) {
    CloudTestServer server;
    // No custom header: what a cross-site form or a simple fetch can send.
    EXPECT_EQ(server.post("/test/clock", R"({"advanceSeconds":10})", {}, "text/plain").status, 403);
    EXPECT_EQ(server.postJson("/test/clock", {{"advanceSeconds", 10}}).status, 403);
    EXPECT_EQ(server.get("/test/fault-counts").status, 403);
    // The header, but not JSON.
    EXPECT_EQ(server.post("/test/clock", R"({"advanceSeconds":10})", controlHeaders(), "text/plain").status, 415);
    EXPECT_EQ(
        server.post("/test/clock", "advanceSeconds=10", controlHeaders(), "application/x-www-form-urlencoded").status,
        415);
    EXPECT_EQ(server.postJson("/test/clock", {{"advanceSeconds", 10}}, controlHeaders()).status, 200);
    EXPECT_EQ(server.get("/test/fault-counts", controlHeaders()).status, 200);
}

TEST(Authenticator, ACodeIsAcceptedOncePerAccount) {
    CloudTestServer server({"--dev-google-stand-in"});
    server.createAccount("totp@example.com", kPassword, 1, true);
    // A Google session of the account re-verifies twice with the same code.
    auto googleSession = [&] {
        std::string v = base64Url(std::string(32, 'g'));
        Reply start = server.auth({{"action", "start_google_oauth"},
                                   {"codeChallenge", pkceChallenge(v)},
                                   {"installationId", kInstallationId}});
        std::string request = queryValue(start.body["oauthURL"], "request");
        Reply decision = server.post("/oauth/google", "request=" + request + "&email=totp@example.com&decision=allow",
                                     {}, "application/x-www-form-urlencoded");
        return server
            .auth({{"action", "complete_google_oauth"},
                   {"authCode", queryValue(decision.header("Location"), "code")},
                   {"codeVerifier", v},
                   {"installationId", kInstallationId}})
            .body["accessToken"]
            .get<std::string>();
    };
    std::string token = googleSession();
    std::string code = server.control("totp-code", {{"email", "totp@example.com"}}).body["code"];
    auto verify = [&] {
        std::string v = base64Url(std::string(32, 'h'));
        Reply r =
            server.auth({{"action", "start_google_reauthentication"}, {"codeChallenge", pkceChallenge(v)}}, token);
        std::string request = queryValue(r.body["oauthURL"], "request");
        Reply decision = server.post("/oauth/google", "request=" + request + "&email=totp@example.com&decision=allow",
                                     {}, "application/x-www-form-urlencoded");
        return server.auth({{"action", "complete_google_reauthentication"},
                            {"authCode", queryValue(decision.header("Location"), "code")},
                            {"codeVerifier", v},
                            {"reauthenticationProof", r.body["reauthenticationProof"]},
                            {"mfaCode", code}},
                           token);
    };
    EXPECT_EQ(verify().status, 200);
    Reply again = verify();
    EXPECT_EQ(again.status, 403);
    EXPECT_EQ(again.error(), "invalid_mfa_code");
}

TEST(Tls, OnlyForwardSecretAuthenticatedSuitesAreOffered) {
    CloudTestServer server;
    auto handshake = [&](const char* ciphers, int maxVersion) {
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_max_proto_version(ctx, maxVersion);
        SSL_CTX_set_cipher_list(ctx, ciphers);
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(server.port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = false;
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            SSL* ssl = SSL_new(ctx);
            SSL_set_fd(ssl, fd);
            ok = SSL_connect(ssl) == 1;
            SSL_free(ssl);
        }
        close(fd);
        SSL_CTX_free(ctx);
        return ok;
    };
    EXPECT_FALSE(handshake("ECDHE-ECDSA-AES128-SHA:ECDHE-RSA-AES128-SHA:ECDHE-RSA-AES256-SHA384:"
                           "ECDHE-ECDSA-AES256-SHA384:AES128-SHA:AES256-GCM-SHA384",
                           TLS1_2_VERSION));
    EXPECT_TRUE(handshake("ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256", TLS1_2_VERSION));
    EXPECT_TRUE(handshake("DEFAULT", TLS1_3_VERSION));
}

TEST(PasswordHashes, AreCostlyAndOlderOnesAreRedoneAtTheNextSignIn) {
    std::string hash = quillo::cloud::crypto::hashPassword("a password");
    EXPECT_EQ(hash.rfind("scrypt$131072$8$1$", 0), 0u) << hash;
    EXPECT_EQ(quillo::cloud::ServerOptions().passwordHashCost, 17); // what a server started plainly uses

    auto storedHash = [](const CloudTestServer& server) {
        return server.queryValue("SELECT password_hash FROM accounts");
    };
    CloudTestServer older({"--password-hash-cost", "12"});
    older.createAccount("old@example.com", kPassword, 1);
    older.stop();
    EXPECT_EQ(storedHash(older).rfind("scrypt$4096$", 0), 0u);
    // A cost below the old fixed 2^14, so that a server that never rehashes cannot pass by chance.
    CloudTestServer newer({"--password-hash-cost", "13"}, true, older.directory());
    EXPECT_EQ(newer.auth(signInBody("old@example.com", "not it at all")).status, 401);
    EXPECT_EQ(storedHash(older).rfind("scrypt$4096$", 0), 0u);
    EXPECT_EQ(newer.auth(signInBody("old@example.com")).status, 200);
    EXPECT_EQ(storedHash(older).rfind("scrypt$8192$", 0), 0u);
    EXPECT_EQ(newer.auth(signInBody("old@example.com")).status, 200);
}

TEST(StartUpOptions, NumbersTheServerCannotHoldAreRefused) {
    for (const char* option : {"--signup-credits -1", "--signup-credits 1e300", "--demo-balance nan",
                               "--demo-balance 1e300", "--demo-balance -5", "--port 1e300", "--threads inf"}) {
        auto [status, out] = runServer(option);
        EXPECT_EQ(status, 2) << option << ": " << out;
        EXPECT_NE(out.find("usage:"), std::string::npos) << option;
    }
}

} // namespace
