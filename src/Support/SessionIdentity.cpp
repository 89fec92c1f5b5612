#include "Support/SessionIdentity.h"

#include "Support/QuilloAuthSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace quillo {

namespace AccessTokenSessionIdentity {

std::optional<QString> sessionID(const QString& accessToken) {
    const QStringList pieces = accessToken.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (pieces.size() != 3) return std::nullopt;
    QString payload = pieces.at(1);
    payload.replace(QLatin1Char('-'), QLatin1Char('+')).replace(QLatin1Char('_'), QLatin1Char('/'));
    while (payload.size() % 4 != 0) payload.append(QLatin1Char('='));

    const auto decoded = QByteArray::fromBase64Encoding(payload.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;

    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(*decoded, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonValue claim = document.object().value(QStringLiteral("session_id"));
    if (!claim.isString()) return std::nullopt;
    const QString text = claim.toString();
    if (text.size() != 36 || QUuid::fromString(text).isNull()) return std::nullopt;
    return text.toLower();
}

} // namespace AccessTokenSessionIdentity

AuthenticatedSessionOwner AuthenticatedSessionOwner::from(const QuilloAuthSession& session) {
    return AuthenticatedSessionOwner{session.userId, AccessTokenSessionIdentity::sessionID(session.accessToken),
                                     session.accessToken};
}

bool AuthenticatedSessionOwner::matches(const std::optional<QString>& otherUserID,
                                        const std::optional<QString>& otherAccessToken) const {
    if (!otherUserID || *otherUserID != userID) return false;
    if (!otherAccessToken) return false;
    if (!sessionID) return *otherAccessToken == accessToken;
    const auto otherSession = AccessTokenSessionIdentity::sessionID(*otherAccessToken);
    return otherSession && *otherSession == *sessionID;
}

namespace SessionInvalidationPolicy {

bool shouldInvalidateSession(int status, const std::optional<QString>& code) {
    return status == 401 && code &&
           (*code == QLatin1String("session_invalid") || *code == QLatin1String("session_required"));
}

bool authorizationMatchesAccessToken(const QString& authorization, const std::optional<QString>& accessToken) {
    if (!accessToken || accessToken->isEmpty()) return false;
    // At most one split at white space, empty pieces dropped: the token keeps anything after it.
    const QString trimmedStart = [&] {
        qsizetype i = 0;
        while (i < authorization.size() && authorization.at(i).isSpace()) ++i;
        return authorization.mid(i);
    }();
    if (trimmedStart.isEmpty()) return false;
    qsizetype gap = 0;
    while (gap < trimmedStart.size() && !trimmedStart.at(gap).isSpace()) ++gap;
    const QString scheme = trimmedStart.left(gap);
    qsizetype rest = gap;
    while (rest < trimmedStart.size() && trimmedStart.at(rest).isSpace()) ++rest;
    const QString credential = trimmedStart.mid(rest);
    if (credential.isEmpty()) return false;
    if (scheme.toLower() != QLatin1String("bearer")) return false;
    return credential == *accessToken;
}

} // namespace SessionInvalidationPolicy

} // namespace quillo
