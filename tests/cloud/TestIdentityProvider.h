#pragma once
// An OpenID Connect provider of the tests' own: HTTPS on loopback with the test authority's
// certificate, a discovery document, a key set (RSA and P-256 keys that can be rotated), an
// authorisation endpoint that approves at once and a token endpoint that signs the ID token the
// test planned, right or wrong.
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace cloudtest {

struct IdTokenPlan {
    std::string email = "g.user@example.com";
    nlohmann::json emailVerified = true;
    std::string audience; // empty: the client id
    std::string issuer;   // empty: the provider's own
    std::string nonce;    // empty: the one the server sent
    long expiresIn = 300; // seconds from now; negative: already expired
    long issuedAgo = 0;
    std::string kid = "rsa-1"; // the key id written into the header
    std::string signingKid;    // the key that really signs (empty: kid's)
    bool corruptSignature = false;
};

class TestIdentityProvider {
public:
    static constexpr const char* kClientId = "quillo-test-client";
    static constexpr const char* kClientSecret = "test-client-secret";

    TestIdentityProvider();
    ~TestIdentityProvider();
    TestIdentityProvider(const TestIdentityProvider&) = delete;

    std::string issuer() const;
    // quillo-cloud options that make it sign in here (the secret written to `directory`).
    std::vector<std::string> serverOptions(const std::string& directory) const;

    void plan(const IdTokenPlan& p);
    // Publishes a new key under this id (RSA or EC) and withdraws the listed ones.
    void addKey(const std::string& kid, bool ec);
    void withdrawKey(const std::string& kid);
    int tokenRequests() const;

    // Follows the app's browser through the provider: the authorisation page's redirect to the
    // server's callback. Returns the callback path and query on the server, or "" on failure.
    std::string approve(const std::string& authorizationUrl);

private:
    struct Round {
        std::string redirectUri, state, nonce, codeChallenge;
    };
    void serve();
    std::string signToken(const Round& round);

    httplib::SSLServer server_;
    int port_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    IdTokenPlan plan_;
    std::map<std::string, std::shared_ptr<void>> keys_; // kid -> EVP_PKEY
    std::map<std::string, bool> published_;             // kid -> in the key set
    std::map<std::string, Round> codes_;
    int tokenRequests_ = 0;
};

} // namespace cloudtest
