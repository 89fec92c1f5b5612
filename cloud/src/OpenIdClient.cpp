#include "OpenIdClient.h"

#include "Log.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace quillo::cloud {

using json = nlohmann::json;

namespace {

constexpr int64_t kDiscoveryLifetime = int64_t{24} * 3600;
constexpr int64_t kKeyRefetchInterval = 60;  // an unknown key id cannot make us hammer the provider

struct Url {
    std::string origin, path;
};

// Only https: the provider's answers decide who owns an account.
std::optional<Url> parseHttps(const std::string &url)
{
    if (url.rfind("https://", 0) != 0) return std::nullopt;
    size_t slash = url.find('/', 8);
    Url u{url.substr(0, slash), slash == std::string::npos ? "/" : url.substr(slash)};
    if (u.origin.size() <= 8 || u.origin.find_first_of("@ \t\r\n") != std::string::npos) return std::nullopt;
    return u;
}

std::string formEncode(const std::string &s)
{
    static const char *hex = "0123456789ABCDEF";
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

}  // namespace

OpenIdClient::OpenIdClient(OpenIdSettings settings, ServerClock &clock) : settings_(std::move(settings)), clock_(clock)
{
    while (!settings_.issuer.empty() && settings_.issuer.back() == '/') settings_.issuer.pop_back();
}

std::optional<std::string> OpenIdClient::fetch(const std::string &url, std::string &failure, const std::string &form)
{
    auto u = parseHttps(url);
    if (!u) {
        failure = "not_https";
        return std::nullopt;
    }
    httplib::Client client(u->origin);
    client.enable_server_certificate_verification(true);
    if (!settings_.caFile.empty()) client.set_ca_cert_path(settings_.caFile);
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(10, 0);
    client.set_write_timeout(10, 0);
    httplib::Headers headers = {{"Accept", "application/json"}};
    auto r = form.empty() ? client.Get(u->path, headers)
                          : client.Post(u->path, headers, form, "application/x-www-form-urlencoded");
    if (!r) {
        failure = "unreachable";
        return std::nullopt;
    }
    if (r->status != 200) {
        failure = "status_" + std::to_string(r->status);
        return std::nullopt;
    }
    if (r->body.size() > size_t{1024} * 1024) {
        failure = "too_large";
        return std::nullopt;
    }
    return r->body;
}

std::optional<OpenIdClient::Endpoints> OpenIdClient::endpoints(std::string &failure)
{
    int64_t now = clock_.nowSeconds();
    if (endpoints_ && now - endpointsFetchedAt_ < kDiscoveryLifetime) return endpoints_;
    auto body = fetch(settings_.issuer + "/.well-known/openid-configuration", failure);
    if (!body) return endpoints_;  // a stale document beats none
    json doc = json::parse(*body, nullptr, false);
    auto text = [&](const char *key) {
        return doc.is_object() && doc.contains(key) && doc[key].is_string() ? doc[key].get<std::string>()
                                                                            : std::string();
    };
    Endpoints e{text("authorization_endpoint"), text("token_endpoint"), text("jwks_uri")};
    // The document must speak for the issuer we were told to trust.
    if (text("issuer") != settings_.issuer || !parseHttps(e.authorization) || !parseHttps(e.token) ||
        !parseHttps(e.jwks)) {
        failure = "discovery_invalid";
        return endpoints_;
    }
    endpoints_ = e;
    endpointsFetchedAt_ = now;
    return endpoints_;
}

bool OpenIdClient::refreshKeys(const Endpoints &e, std::string &failure)
{
    int64_t now = clock_.nowSeconds();
    if (keysFetchedAt_ >= 0 && now - keysFetchedAt_ < kKeyRefetchInterval) return false;
    keysFetchedAt_ = now;
    auto body = fetch(e.jwks, failure);
    if (!body) return false;
    auto set = JsonWebKeySet::parse(*body);
    if (!set) {
        failure = "jwks_invalid";
        return false;
    }
    keys_ = *set;
    log::info("oidc_keys_loaded", {{"keys", keys_.size()}});
    return true;
}

std::optional<std::string> OpenIdClient::authorizationUrl(const std::string &redirectUri, const std::string &state,
                                                          const std::string &nonce, const std::string &codeChallenge)
{
    std::string failure;
    std::optional<Endpoints> e;
    {
        std::lock_guard lock(mutex_);
        e = endpoints(failure);
    }
    if (!e) {
        log::warn("oidc_discovery_failed", {{"reason", failure}});
        return std::nullopt;
    }
    char sep = e->authorization.find('?') == std::string::npos ? '?' : '&';
    return e->authorization + sep + "response_type=code&client_id=" + formEncode(settings_.clientId) +
           "&redirect_uri=" + formEncode(redirectUri) + "&scope=openid%20email&state=" + formEncode(state) +
           "&nonce=" + formEncode(nonce) + "&code_challenge=" + formEncode(codeChallenge) +
           "&code_challenge_method=S256";
}

OpenIdClient::Outcome OpenIdClient::redeem(const std::string &code, const std::string &codeVerifier,
                                           const std::string &redirectUri, const std::string &nonce)
{
    Outcome out;
    std::optional<Endpoints> e;
    {
        std::lock_guard lock(mutex_);
        e = endpoints(out.failure);
    }
    if (!e) return out;
    std::string form = "grant_type=authorization_code&code=" + formEncode(code) +
                       "&redirect_uri=" + formEncode(redirectUri) + "&client_id=" + formEncode(settings_.clientId) +
                       "&code_verifier=" + formEncode(codeVerifier);
    if (!settings_.clientSecret.empty()) form += "&client_secret=" + formEncode(settings_.clientSecret);
    auto body = fetch(e->token, out.failure, form);
    if (!body) return out;
    json answer = json::parse(*body, nullptr, false);
    if (!answer.is_object() || !answer.contains("id_token") || !answer["id_token"].is_string()) {
        out.failure = "no_id_token";
        return out;
    }
    std::string token = answer["id_token"];
    IdTokenExpectations expect{settings_.issuer, settings_.clientId, nonce, clock_.nowSeconds()};
    VerifiedIdentity identity;
    std::lock_guard lock(mutex_);
    if (keysFetchedAt_ < 0) refreshKeys(*e, out.failure);
    IdTokenFault fault = verifyIdToken(token, keys_, expect, identity);
    if (fault == IdTokenFault::unknownKey && refreshKeys(*e, out.failure))
        fault = verifyIdToken(token, keys_, expect, identity);  // the provider may have rotated its keys
    if (fault != IdTokenFault::none) {
        out.failure = idTokenFaultName(fault);
        return out;
    }
    out.identity = identity;
    return out;
}

}  // namespace quillo::cloud
