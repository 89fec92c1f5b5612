#include "Support/QuilloAuthSession.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace quillo {

QJsonObject QuilloAuthSession::toJsonObject() const {
    QJsonObject object;
    object.insert(QStringLiteral("accessToken"), accessToken);
    if (refreshToken) object.insert(QStringLiteral("refreshToken"), *refreshToken);
    if (expiresAt) object.insert(QStringLiteral("expiresAt"), *expiresAt);
    object.insert(QStringLiteral("userId"), userId);
    object.insert(QStringLiteral("userEmail"), userEmail);
    if (signInProvider) object.insert(QStringLiteral("signInProvider"), *signInProvider);
    return object;
}

QByteArray QuilloAuthSession::toJson() const { return QJsonDocument(toJsonObject()).toJson(QJsonDocument::Compact); }

namespace {
// Present and a string; missing or null is absent; anything else fails the decode.
bool optionalString(const QJsonObject& object, const QString& key, std::optional<QString>& out) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) return true;
    if (!value.isString()) return false;
    out = value.toString();
    return true;
}
} // namespace

std::optional<QuilloAuthSession> QuilloAuthSession::fromJsonObject(const QJsonObject& object) {
    const QJsonValue access = object.value(QStringLiteral("accessToken"));
    const QJsonValue user = object.value(QStringLiteral("userId"));
    const QJsonValue email = object.value(QStringLiteral("userEmail"));
    if (!access.isString() || !user.isString() || !email.isString()) return std::nullopt;

    QuilloAuthSession session;
    session.accessToken = access.toString();
    session.userId = user.toString();
    session.userEmail = email.toString();
    if (!optionalString(object, QStringLiteral("refreshToken"), session.refreshToken)) return std::nullopt;
    if (!optionalString(object, QStringLiteral("signInProvider"), session.signInProvider)) return std::nullopt;
    const QJsonValue expires = object.value(QStringLiteral("expiresAt"));
    if (!expires.isUndefined() && !expires.isNull()) {
        if (!expires.isDouble()) return std::nullopt;
        session.expiresAt = expires.toDouble();
    }
    return session;
}

std::optional<QuilloAuthSession> QuilloAuthSession::fromJson(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return fromJsonObject(document.object());
}

} // namespace quillo
