#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillo {

// Ed25519 signatures of update feeds (OpenSSL 3). Keys and signatures travel as standard
// base64 of their raw bytes: 32 for a public key, 64 for a signature.
namespace UpdateSignature {

inline constexpr int publicKeyLength = 32;
inline constexpr int signatureLength = 64;

// Strict base64 (standard alphabet, padding allowed, white space around trimmed).
std::optional<QByteArray> decodeBase64(const QString& text);
// The raw key, when `base64` decodes to exactly 32 bytes that OpenSSL accepts.
std::optional<QByteArray> publicKey(const QString& base64);
// True only when `signature` is the key's valid Ed25519 signature over exactly `message`.
bool verify(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature);

} // namespace UpdateSignature

} // namespace quillo
