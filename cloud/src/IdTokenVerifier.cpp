#include "IdTokenVerifier.h"

#include "Crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <vector>

namespace quillo::cloud {

using json = nlohmann::json;

void PublicKeyDeleter::operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }

namespace {

struct BnFree {
    void operator()(BIGNUM *b) const { BN_free(b); }
};
struct BldFree {
    void operator()(OSSL_PARAM_BLD *b) const { OSSL_PARAM_BLD_free(b); }
};
struct ParamFree {
    void operator()(OSSL_PARAM *p) const { OSSL_PARAM_free(p); }
};
struct CtxFree {
    void operator()(EVP_PKEY_CTX *c) const { EVP_PKEY_CTX_free(c); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX *c) const { EVP_MD_CTX_free(c); }
};
struct SigFree {
    void operator()(ECDSA_SIG *s) const { ECDSA_SIG_free(s); }
};

std::optional<std::string> member(const json &o, const char *key)
{
    auto it = o.find(key);
    if (it == o.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

PublicKey keyFromParams(const char *type, OSSL_PARAM_BLD *bld)
{
    std::unique_ptr<OSSL_PARAM, ParamFree> params(OSSL_PARAM_BLD_to_param(bld));
    std::unique_ptr<EVP_PKEY_CTX, CtxFree> ctx(EVP_PKEY_CTX_new_from_name(nullptr, type, nullptr));
    EVP_PKEY *key = nullptr;
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
        EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        return nullptr;
    return PublicKey(key);
}

PublicKey rsaKey(const std::string &n, const std::string &e)
{
    // Below 2048 bits a key is not worth trusting with an account.
    if (n.size() < 256 || n.size() > 1024 || e.empty() || e.size() > 8) return nullptr;
    std::unique_ptr<BIGNUM, BnFree> bn(
        BN_bin2bn(reinterpret_cast<const unsigned char *>(n.data()), static_cast<int>(n.size()), nullptr));
    std::unique_ptr<BIGNUM, BnFree> be(
        BN_bin2bn(reinterpret_cast<const unsigned char *>(e.data()), static_cast<int>(e.size()), nullptr));
    std::unique_ptr<OSSL_PARAM_BLD, BldFree> bld(OSSL_PARAM_BLD_new());
    if (!bn || !be || !bld || OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_N, bn.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_E, be.get()) != 1)
        return nullptr;
    return keyFromParams("RSA", bld.get());
}

PublicKey p256Key(const std::string &x, const std::string &y)
{
    if (x.size() != 32 || y.size() != 32) return nullptr;
    std::string point = "\x04" + x + y;
    std::unique_ptr<OSSL_PARAM_BLD, BldFree> bld(OSSL_PARAM_BLD_new());
    if (!bld || OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) != 1 ||
        OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()) != 1)
        return nullptr;
    return keyFromParams("EC", bld.get());
}

bool verifySignature(const EVP_PKEY *key, const std::string &alg, const std::string &signingInput,
                     std::string signature)
{
    if (alg == "ES256") {
        // JWS carries r and s side by side; OpenSSL wants them DER-encoded.
        if (signature.size() != 64) return false;
        std::unique_ptr<ECDSA_SIG, SigFree> sig(ECDSA_SIG_new());
        BIGNUM *r = BN_bin2bn(reinterpret_cast<const unsigned char *>(signature.data()), 32, nullptr);
        BIGNUM *s = BN_bin2bn(reinterpret_cast<const unsigned char *>(signature.data() + 32), 32, nullptr);
        if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
            BN_free(r);
            BN_free(s);
            return false;
        }
        int length = i2d_ECDSA_SIG(sig.get(), nullptr);
        if (length <= 0) return false;
        std::string der(static_cast<size_t>(length), '\0');
        auto *p = reinterpret_cast<unsigned char *>(der.data());
        i2d_ECDSA_SIG(sig.get(), &p);
        signature = der;
    }
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, const_cast<EVP_PKEY *>(key)) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char *>(signature.data()), signature.size(),
                            reinterpret_cast<const unsigned char *>(signingInput.data()), signingInput.size()) == 1;
}

std::optional<json> decodePart(std::string_view part)
{
    auto bytes = crypto::base64UrlDecode(part);
    if (!bytes) return std::nullopt;
    json value = json::parse(*bytes, nullptr, false);
    if (!value.is_object()) return std::nullopt;
    return value;
}

struct Parts {
    json header, payload;
    std::string signingInput, signature;
};

std::optional<Parts> split(const std::string &token)
{
    if (token.size() > 16384) return std::nullopt;
    size_t a = token.find('.');
    size_t b = a == std::string::npos ? a : token.find('.', a + 1);
    if (b == std::string::npos || token.find('.', b + 1) != std::string::npos) return std::nullopt;
    auto header = decodePart(std::string_view(token).substr(0, a));
    auto payload = decodePart(std::string_view(token).substr(a + 1, b - a - 1));
    auto signature = crypto::base64UrlDecode(std::string_view(token).substr(b + 1));
    if (!header || !payload || !signature) return std::nullopt;
    return Parts{*header, *payload, token.substr(0, b), *signature};
}

std::optional<int64_t> numericDate(const json &payload, const char *key)
{
    auto it = payload.find(key);
    if (it == payload.end() || !it->is_number()) return std::nullopt;
    double v = it->get<double>();
    if (!(v >= 0 && v < 1e11)) return std::nullopt;
    return static_cast<int64_t>(v);
}

}  // namespace

std::optional<JsonWebKeySet> JsonWebKeySet::parse(const std::string &document)
{
    json doc = json::parse(document, nullptr, false);
    if (!doc.is_object() || !doc.contains("keys") || !doc["keys"].is_array()) return std::nullopt;
    JsonWebKeySet set;
    for (const auto &k : doc["keys"]) {
        if (!k.is_object()) continue;
        auto kid = member(k, "kid"), kty = member(k, "kty"), use = member(k, "use"), alg = member(k, "alg");
        if (!kid || !kty || (use && *use != "sig")) continue;
        auto decoded = [&](const char *name) { return crypto::base64UrlDecode(member(k, name).value_or("")); };
        PublicKey key;
        std::string keyAlg;
        if (*kty == "RSA" && (!alg || *alg == "RS256")) {
            auto n = decoded("n"), e = decoded("e");
            if (n && e) key = rsaKey(*n, *e);
            keyAlg = "RS256";
        } else if (*kty == "EC" && member(k, "crv").value_or("") == "P-256" && (!alg || *alg == "ES256")) {
            auto x = decoded("x"), y = decoded("y");
            if (x && y) key = p256Key(*x, *y);
            keyAlg = "ES256";
        }
        if (key) set.keys_[*kid] = Entry{keyAlg, std::shared_ptr<EVP_PKEY>(key.release(), EVP_PKEY_free)};
    }
    return set;
}

const EVP_PKEY *JsonWebKeySet::find(const std::string &kid, const std::string &alg) const
{
    auto it = keys_.find(kid);
    if (it == keys_.end() || it->second.alg != alg) return nullptr;
    return it->second.key.get();
}

const char *idTokenFaultName(IdTokenFault fault)
{
    switch (fault) {
    case IdTokenFault::none: return "none";
    case IdTokenFault::malformed: return "malformed";
    case IdTokenFault::unknownKey: return "unknown_key";
    case IdTokenFault::badSignature: return "bad_signature";
    case IdTokenFault::wrongIssuer: return "wrong_issuer";
    case IdTokenFault::wrongAudience: return "wrong_audience";
    case IdTokenFault::expired: return "expired";
    case IdTokenFault::issuedInFuture: return "issued_in_future";
    case IdTokenFault::wrongNonce: return "wrong_nonce";
    case IdTokenFault::emailUnverified: return "email_unverified";
    }
    return "unknown";
}

std::optional<std::string> idTokenKeyId(const std::string &token)
{
    auto parts = split(token);
    if (!parts) return std::nullopt;
    return member(parts->header, "kid");
}

IdTokenFault verifyIdToken(const std::string &token, const JsonWebKeySet &keys, const IdTokenExpectations &expect,
                           VerifiedIdentity &out)
{
    auto parts = split(token);
    if (!parts) return IdTokenFault::malformed;
    // The algorithm comes from the key, never from the token alone: "none" and HMAC never pass.
    auto alg = member(parts->header, "alg"), kid = member(parts->header, "kid");
    if (!alg || (*alg != "RS256" && *alg != "ES256")) return IdTokenFault::malformed;
    if (!kid) return IdTokenFault::unknownKey;
    const EVP_PKEY *key = keys.find(*kid, *alg);
    if (!key) return IdTokenFault::unknownKey;
    if (!verifySignature(key, *alg, parts->signingInput, parts->signature)) return IdTokenFault::badSignature;

    const json &p = parts->payload;
    if (member(p, "iss") != expect.issuer) return IdTokenFault::wrongIssuer;
    auto aud = p.find("aud");
    bool audienceOk = false;
    if (aud != p.end() && aud->is_string()) audienceOk = aud->get<std::string>() == expect.audience;
    else if (aud != p.end() && aud->is_array()) {
        for (const auto &a : *aud)
            if (a.is_string() && a.get<std::string>() == expect.audience) audienceOk = true;
        // Several audiences: the token must have been issued to this client.
        if (aud->size() > 1 && member(p, "azp") != expect.audience) audienceOk = false;
    }
    if (!audienceOk) return IdTokenFault::wrongAudience;
    auto exp = numericDate(p, "exp"), iat = numericDate(p, "iat");
    if (!exp || !iat) return IdTokenFault::malformed;
    if (*exp + expect.leewaySeconds <= expect.now || *iat + expect.maxAgeSeconds < expect.now)
        return IdTokenFault::expired;
    if (*iat > expect.now + expect.leewaySeconds) return IdTokenFault::issuedInFuture;
    auto nonce = member(p, "nonce");
    if (!nonce || expect.nonce.empty() || !crypto::constantTimeEquals(*nonce, expect.nonce))
        return IdTokenFault::wrongNonce;
    auto sub = member(p, "sub"), email = member(p, "email");
    if (!sub || sub->empty()) return IdTokenFault::malformed;
    auto verified = p.find("email_verified");
    // Some providers send the flag as a string.
    bool emailVerified = verified != p.end() && ((verified->is_boolean() && verified->get<bool>()) ||
                                                 (verified->is_string() && verified->get<std::string>() == "true"));
    if (!email || email->empty() || !emailVerified) return IdTokenFault::emailUnverified;
    out.subject = *sub;
    out.email = *email;
    return IdTokenFault::none;
}

}  // namespace quillo::cloud
