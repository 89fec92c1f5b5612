#include "Support/QuilloOAuthSupport.h"

#include "Support/QuilloOAuthError.h"

#include <QByteArray>
#include <QHash>
#include <QUrlQuery>

#include <openssl/rand.h>
#include <openssl/sha.h>

namespace quillo::QuilloOAuthPKCE {

namespace {

RandomSource& randomSourceOverride() {
    static RandomSource source;
    return source;
}

QString base64URL(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

using Parameters = QHash<QString, QString>;

// Name to value, first occurrence winning; parameters without a value are skipped.
Parameters parameters(const QUrlQuery& query) {
    Parameters table;
    for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (value.isNull()) continue;
        if (!table.contains(name)) table.insert(name, value);
    }
    return table;
}

Parameters queryParameters(const QUrl& url) {
    if (!url.hasQuery()) return {};
    return parameters(QUrlQuery(url.query(QUrl::FullyEncoded)));
}

// The fragment is read with the query-string rules, as the query of a placeholder address.
Parameters fragmentParameters(const QUrl& url) {
    if (!url.hasFragment()) return {};
    QUrl placeholder(QStringLiteral("https://callback.invalid/"));
    placeholder.setQuery(url.fragment(QUrl::FullyEncoded), QUrl::TolerantMode);
    return queryParameters(placeholder);
}

bool hasError(const Parameters& table) {
    const auto it = table.find(QStringLiteral("error"));
    return it != table.end() && !it->isEmpty();
}

} // namespace

void setRandomSourceForTesting(RandomSource source) { randomSourceOverride() = std::move(source); }

QString randomBase64URLString(int byteCount) {
    QByteArray bytes(qMax(0, byteCount), Qt::Uninitialized);
    auto* data = reinterpret_cast<unsigned char*>(bytes.data());
    const bool filled = randomSourceOverride() ? randomSourceOverride()(data, static_cast<int>(bytes.size()))
                                               : RAND_bytes(data, static_cast<int>(bytes.size())) == 1;
    if (!filled) throw QuilloOAuthError(QuilloOAuthError::Kind::secureRandomUnavailable);
    return base64URL(bytes);
}

QString challenge(const QString& verifier) {
    const QByteArray utf8 = verifier.toUtf8();
    QByteArray digest(SHA256_DIGEST_LENGTH, Qt::Uninitialized);
    SHA256(reinterpret_cast<const unsigned char*>(utf8.constData()), static_cast<size_t>(utf8.size()),
           reinterpret_cast<unsigned char*>(digest.data()));
    return base64URL(digest);
}

bool isExpectedCallback(const QUrl& url) {
    if (url.scheme().isEmpty() || url.host().isEmpty()) return false;
    return url.scheme().toLower() == callbackScheme && url.host().toLower() == QLatin1String("auth") &&
           url.path() == QLatin1String("/callback");
}

std::optional<QString> expectedState(const QUrl& providerPage) {
    const Parameters table = queryParameters(providerPage);
    const auto it = table.find(QStringLiteral("state"));
    if (it == table.end() || it->isEmpty()) return std::nullopt;
    return *it;
}

QString authorizationCode(const QUrl& url, const std::optional<QString>& expectedState) {
    using Kind = QuilloOAuthError::Kind;
    if (!isExpectedCallback(url)) throw QuilloOAuthError(Kind::invalidCallback);
    const Parameters query = queryParameters(url);
    if (hasError(query) || hasError(fragmentParameters(url))) throw QuilloOAuthError(Kind::providerRejected);
    // A callback for another round trip (or forged by another page) is not ours to finish.
    if (expectedState && query.value(QStringLiteral("state")) != *expectedState)
        throw QuilloOAuthError(Kind::invalidCallback);
    QString code = query.value(QStringLiteral("code"));
    if (code.isEmpty() || code.size() > maximumCodeLength) throw QuilloOAuthError(Kind::invalidCallback);
    return code;
}

} // namespace quillo::QuilloOAuthPKCE
