#include "Support/UpdateSignature.h"

#include <memory>

#include <openssl/evp.h>

namespace quillo::UpdateSignature {

namespace {

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

Key rawPublicKey(const QByteArray& bytes) {
    if (bytes.size() != publicKeyLength) return nullptr;
    return Key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                           reinterpret_cast<const unsigned char*>(bytes.constData()),
                                           static_cast<size_t>(bytes.size())));
}

} // namespace

std::optional<QByteArray> decodeBase64(const QString& text) {
    const QByteArray trimmed = text.trimmed().toLatin1();
    if (trimmed.isEmpty()) return std::nullopt;
    auto result =
        QByteArray::fromBase64Encoding(trimmed, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!result) return std::nullopt;
    // fromBase64 accepts a missing padding; a canonical round trip refuses stray bits and lengths.
    if (result.decoded.toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals) !=
        QByteArray(trimmed).replace('=', QByteArray()))
        return std::nullopt;
    return result.decoded;
}

std::optional<QByteArray> publicKey(const QString& base64) {
    auto bytes = decodeBase64(base64);
    if (!bytes || !rawPublicKey(*bytes)) return std::nullopt;
    return bytes;
}

bool verify(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature) {
    if (signature.size() != signatureLength) return false;
    const Key key = rawPublicKey(publicKey);
    if (!key) return false;
    const Context context(EVP_MD_CTX_new());
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            static_cast<size_t>(signature.size()),
                            reinterpret_cast<const unsigned char*>(message.constData()),
                            static_cast<size_t>(message.size())) == 1;
}

} // namespace quillo::UpdateSignature
