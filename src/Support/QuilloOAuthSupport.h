#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace quillo {

// The proof-key pieces (S256) that bind a browser round trip to this client, and the reading of
// the "quillo://auth/callback" address it ends with. Errors are QuilloOAuthError.
namespace QuilloOAuthPKCE {

inline const QString callbackScheme = QStringLiteral("quillo");
inline constexpr int verifierByteCount = 32;
inline constexpr int maximumCodeLength = 2048;

// `byteCount` secure random bytes, base64url without padding (32 bytes: 43 characters).
// Throws secureRandomUnavailable.
QString randomBase64URLString(int byteCount);
// base64url (no padding) of the SHA-256 of the verifier's UTF-8 bytes.
QString challenge(const QString& verifier);

// Scheme "quillo" and host "auth" in any case, path exactly "/callback".
bool isExpectedCallback(const QUrl& url);

// The "state" the provider page was opened with, when its address carries one: the callback
// must then carry the same value.
std::optional<QString> expectedState(const QUrl& providerPage);

// The authorisation code of a callback. Throws invalidCallback (not our callback, no usable
// code in the query, a state other than `expectedState`) or providerRejected (an "error" in
// the query or the fragment).
QString authorizationCode(const QUrl& url, const std::optional<QString>& expectedState = std::nullopt);

// Replaces the secure random source (tests); an empty function restores it. The source fills
// `count` bytes and reports success.
using RandomSource = std::function<bool(unsigned char* bytes, int count)>;
void setRandomSourceForTesting(RandomSource source);

} // namespace QuilloOAuthPKCE

} // namespace quillo
