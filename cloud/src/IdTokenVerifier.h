#pragma once
// Checks an OpenID Connect ID token: its signature (RS256 or ES256) under a key of the provider's
// published key set, and the claims that bind it to this server and this sign-in.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

using EVP_PKEY = struct evp_pkey_st;

namespace quillo::cloud {

struct PublicKeyDeleter {
    void operator()(EVP_PKEY *key) const;
};
using PublicKey = std::unique_ptr<EVP_PKEY, PublicKeyDeleter>;

// A provider's JSON Web Key Set: the signing keys by key id. Keys of other uses or types are skipped.
class JsonWebKeySet {
public:
    static std::optional<JsonWebKeySet> parse(const std::string &document);
    // The key that may check a token of this algorithm ("RS256", "ES256"); null if none.
    const EVP_PKEY *find(const std::string &kid, const std::string &alg) const;
    size_t size() const { return keys_.size(); }

private:
    struct Entry {
        std::string alg;  // "RS256" or "ES256"
        std::shared_ptr<EVP_PKEY> key;
    };
    std::map<std::string, Entry> keys_;
};

struct IdTokenExpectations {
    std::string issuer, audience, nonce;
    int64_t now = 0;
    int64_t leewaySeconds = 60;
    int64_t maxAgeSeconds = 600;  // an iat older than this is a replayed token
};

struct VerifiedIdentity {
    std::string subject, email;
};

enum class IdTokenFault {
    none,
    malformed,
    unknownKey,
    badSignature,
    wrongIssuer,
    wrongAudience,
    expired,
    issuedInFuture,
    wrongNonce,
    emailUnverified,
};

const char *idTokenFaultName(IdTokenFault fault);

// The token's header and payload, unchecked: what key it names.
std::optional<std::string> idTokenKeyId(const std::string &token);

IdTokenFault verifyIdToken(const std::string &token, const JsonWebKeySet &keys, const IdTokenExpectations &expect,
                           VerifiedIdentity &out);

}  // namespace quillo::cloud
