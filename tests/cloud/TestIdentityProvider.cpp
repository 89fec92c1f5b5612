#include "TestIdentityProvider.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <stdexcept>

#include "CloudTestServer.h"

namespace cloudtest {

namespace {

EVP_PKEY* pkey(const std::shared_ptr<void>& p) { return static_cast<EVP_PKEY*>(p.get()); }

std::string bigEndian(EVP_PKEY* key, const char* name) {
    BIGNUM* bn = nullptr;
    if (EVP_PKEY_get_bn_param(key, name, &bn) != 1) throw std::runtime_error("key parameter");
    std::string out(static_cast<size_t>(BN_num_bytes(bn)), '\0');
    BN_bn2bin(bn, reinterpret_cast<unsigned char*>(out.data()));
    BN_free(bn);
    return out;
}

json jwk(const std::string& kid, EVP_PKEY* key) {
    if (EVP_PKEY_is_a(key, "RSA"))
        return {{"kty", "RSA"},
                {"kid", kid},
                {"use", "sig"},
                {"alg", "RS256"},
                {"n", base64Url(bigEndian(key, OSSL_PKEY_PARAM_RSA_N))},
                {"e", base64Url(bigEndian(key, OSSL_PKEY_PARAM_RSA_E))}};
    unsigned char point[65];
    size_t length = 0;
    EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point, &length);
    if (length != 65) throw std::runtime_error("EC point");
    return {{"kty", "EC"},
            {"kid", kid},
            {"use", "sig"},
            {"alg", "ES256"},
            {"crv", "P-256"},
            {"x", base64Url(std::string(reinterpret_cast<char*>(point + 1), 32))},
            {"y", base64Url(std::string(reinterpret_cast<char*>(point + 33), 32))}};
}

std::string sign(EVP_PKEY* key, const std::string& input) {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    size_t length = 0;
    EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, key);
    EVP_DigestSign(ctx, nullptr, &length, reinterpret_cast<const unsigned char*>(input.data()), input.size());
    std::string sig(length, '\0');
    EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(sig.data()), &length,
                   reinterpret_cast<const unsigned char*>(input.data()), input.size());
    EVP_MD_CTX_free(ctx);
    sig.resize(length);
    if (EVP_PKEY_is_a(key, "RSA")) return sig;
    // JWS wants r and s side by side, 32 bytes each.
    const auto* p = reinterpret_cast<const unsigned char*>(sig.data());
    ECDSA_SIG* der = d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(sig.size()));
    std::string raw(64, '\0');
    BN_bn2binpad(ECDSA_SIG_get0_r(der), reinterpret_cast<unsigned char*>(raw.data()), 32);
    BN_bn2binpad(ECDSA_SIG_get0_s(der), reinterpret_cast<unsigned char*>(raw.data() + 32), 32);
    ECDSA_SIG_free(der);
    return raw;
}

std::string randomCode() {
    unsigned char b[24];
    RAND_bytes(b, sizeof b);
    return base64Url(std::string(reinterpret_cast<char*>(b), sizeof b));
}

std::string encode(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace

TestIdentityProvider::TestIdentityProvider()
    : server_((std::string(QUILLO_TEST_CA_DIR) + "/server.pem").c_str(),
              (std::string(QUILLO_TEST_CA_DIR) + "/server.key").c_str()) {
    addKey("rsa-1", false);
    addKey("ec-1", true);
    serve();
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("the test identity provider cannot listen");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() is lost on a server whose accept loop has not begun.
    for (int i = 0; i < 5000 && !server_.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestIdentityProvider::~TestIdentityProvider() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
}

std::string TestIdentityProvider::issuer() const { return "https://127.0.0.1:" + std::to_string(port_) + "/realm"; }

std::vector<std::string> TestIdentityProvider::serverOptions(const std::string& directory) const {
    std::string secretFile = directory + "/oidc-secret";
    std::ofstream(secretFile) << kClientSecret << "\n";
    return {"--oidc-issuer",
            issuer(),
            "--oidc-client-id",
            kClientId,
            "--oidc-client-secret-file",
            secretFile,
            "--oidc-ca-file",
            std::string(QUILLO_TEST_CA_DIR) + "/ca.pem"};
}

void TestIdentityProvider::plan(const IdTokenPlan& p) {
    std::lock_guard lock(mutex_);
    plan_ = p;
}

void TestIdentityProvider::addKey(const std::string& kid, bool ec) {
    EVP_PKEY* key = ec ? EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256")
                       : EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(2048));
    if (!key) throw std::runtime_error("key generation failed");
    std::lock_guard lock(mutex_);
    keys_[kid] = std::shared_ptr<void>(key, [](void* k) { EVP_PKEY_free(static_cast<EVP_PKEY*>(k)); });
    published_[kid] = true;
}

void TestIdentityProvider::withdrawKey(const std::string& kid) {
    std::lock_guard lock(mutex_);
    published_[kid] = false;
}

int TestIdentityProvider::tokenRequests() const {
    std::lock_guard lock(mutex_);
    return tokenRequests_;
}

std::string TestIdentityProvider::signToken(const Round& round) {
    const IdTokenPlan& p = plan_;
    std::string kid = p.signingKid.empty() ? p.kid : p.signingKid;
    auto key = keys_.count(kid) ? keys_[kid] : keys_["rsa-1"];
    bool ec = !EVP_PKEY_is_a(pkey(key), "RSA");
    long now = static_cast<long>(std::time(nullptr));
    json header = {{"alg", ec ? "ES256" : "RS256"}, {"typ", "JWT"}, {"kid", p.kid}};
    json claims = {{"iss", p.issuer.empty() ? issuer() : p.issuer},
                   {"aud", p.audience.empty() ? kClientId : p.audience},
                   {"sub", "subject-" + p.email},
                   {"email", p.email},
                   {"email_verified", p.emailVerified},
                   {"nonce", p.nonce.empty() ? round.nonce : p.nonce},
                   {"iat", now - p.issuedAgo},
                   {"exp", now + p.expiresIn}};
    std::string input = base64Url(header.dump()) + "." + base64Url(claims.dump());
    std::string signature = sign(pkey(key), input);
    if (p.corruptSignature) signature[signature.size() / 2] = static_cast<char>(signature[signature.size() / 2] ^ 1);
    return input + "." + base64Url(signature);
}

void TestIdentityProvider::serve() {
    server_.Get("/realm/.well-known/openid-configuration", [this](const httplib::Request&, httplib::Response& res) {
        json doc = {{"issuer", issuer()},
                    {"authorization_endpoint", issuer() + "/authorize"},
                    {"token_endpoint", issuer() + "/token"},
                    {"jwks_uri", issuer() + "/keys"},
                    {"id_token_signing_alg_values_supported", {"RS256", "ES256"}}};
        res.set_content(doc.dump(), "application/json");
    });
    server_.Get("/realm/keys", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(mutex_);
        json keys = json::array();
        for (auto& [kid, key] : keys_)
            if (published_[kid]) keys.push_back(jwk(kid, pkey(key)));
        res.set_content(json{{"keys", keys}}.dump(), "application/json");
    });
    server_.Get("/realm/authorize", [this](const httplib::Request& req, httplib::Response& res) {
        if (req.get_param_value("client_id") != kClientId || req.get_param_value("response_type") != "code" ||
            req.get_param_value("code_challenge_method") != "S256" || req.get_param_value("state").empty() ||
            req.get_param_value("nonce").empty() || req.get_param_value("scope").find("openid") == std::string::npos) {
            res.status = 400;
            return;
        }
        Round round{req.get_param_value("redirect_uri"), req.get_param_value("state"), req.get_param_value("nonce"),
                    req.get_param_value("code_challenge")};
        std::string code = randomCode();
        {
            std::lock_guard lock(mutex_);
            codes_[code] = round;
        }
        res.set_redirect(round.redirectUri + "?code=" + code + "&state=" + encode(round.state), 302);
    });
    server_.Post("/realm/token", [this](const httplib::Request& req, httplib::Response& res) {
        httplib::Params form;
        httplib::detail::parse_query_text(req.body, form);
        auto value = [&](const char* k) {
            auto it = form.find(k);
            return it == form.end() ? std::string() : it->second;
        };
        std::lock_guard lock(mutex_);
        ++tokenRequests_;
        auto it = codes_.find(value("code"));
        if (it == codes_.end() || value("grant_type") != "authorization_code" || value("client_id") != kClientId ||
            value("client_secret") != kClientSecret || value("redirect_uri") != it->second.redirectUri ||
            pkceChallenge(value("code_verifier")) != it->second.codeChallenge) {
            res.status = 400;
            res.set_content(R"({"error":"invalid_grant"})", "application/json");
            return;
        }
        Round round = it->second;
        codes_.erase(it);
        res.set_content(
            json{{"access_token", "unused"}, {"token_type", "Bearer"}, {"id_token", signToken(round)}}.dump(),
            "application/json");
    });
}

std::string TestIdentityProvider::approve(const std::string& authorizationUrl) {
    std::string prefix = issuer();
    if (authorizationUrl.rfind(prefix + "/authorize?", 0) != 0) return {};
    httplib::SSLClient client("127.0.0.1", port_);
    client.set_ca_cert_path((std::string(QUILLO_TEST_CA_DIR) + "/ca.pem").c_str());
    client.enable_server_certificate_verification(true);
    auto r = client.Get(pathAndQuery(authorizationUrl).c_str());
    if (!r || r->status != 302) return {};
    return pathAndQuery(r->get_header_value("Location"));
}

} // namespace cloudtest
