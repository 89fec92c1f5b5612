#pragma once
// Sign-in through an OpenID Connect provider (Google, Keycloak, Authentik, ...): the discovery
// document, the provider's signing keys (fetched again when a token names a key not yet seen, so
// that a key rotation needs no restart) and the exchange of an authorisation code for a checked
// ID token.
#include "IdTokenVerifier.h"
#include "ServerClock.h"

#include <mutex>
#include <optional>
#include <string>

namespace quillo::cloud {

struct OpenIdSettings {
    std::string issuer, clientId, clientSecret, caFile;
};

class OpenIdClient {
public:
    OpenIdClient(OpenIdSettings settings, ServerClock &clock);

    // The provider's sign-in page for one round; nullopt while the provider cannot be reached.
    std::optional<std::string> authorizationUrl(const std::string &redirectUri, const std::string &state,
                                                const std::string &nonce, const std::string &codeChallenge);

    struct Outcome {
        std::optional<VerifiedIdentity> identity;
        std::string failure;  // why not, for the log
    };
    Outcome redeem(const std::string &code, const std::string &codeVerifier, const std::string &redirectUri,
                   const std::string &nonce);

private:
    struct Endpoints {
        std::string authorization, token, jwks;
    };
    std::optional<Endpoints> endpoints(std::string &failure);
    std::optional<std::string> fetch(const std::string &url, std::string &failure, const std::string &form = {});
    bool refreshKeys(const Endpoints &e, std::string &failure);

    OpenIdSettings settings_;
    ServerClock &clock_;
    std::mutex mutex_;
    std::optional<Endpoints> endpoints_;
    int64_t endpointsFetchedAt_ = 0;
    JsonWebKeySet keys_;
    int64_t keysFetchedAt_ = -1;
};

}  // namespace quillo::cloud
