#include "Services/QuilloAuthResponse.h"

#include "Services/QuilloCloudError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace quillo {

namespace {

[[noreturn]] void unreadable(const char* member) {
    throw CloudResponseDecodingError(std::string("unreadable account answer member ") + member);
}

std::optional<QString> text(const QJsonObject& object, const char* member) {
    const QJsonValue value = object.value(QLatin1String(member));
    if (value.isUndefined() || value.isNull()) return std::nullopt;
    if (!value.isString()) unreadable(member);
    return value.toString();
}

std::optional<double> number(const QJsonObject& object, const char* member, bool integral) {
    const QJsonValue value = object.value(QLatin1String(member));
    if (value.isUndefined() || value.isNull()) return std::nullopt;
    if (!value.isDouble()) unreadable(member);
    const double n = value.toDouble();
    if (integral && n != std::floor(n)) unreadable(member);
    return n;
}

std::optional<bool> flag(const QJsonObject& object, const char* member) {
    const QJsonValue value = object.value(QLatin1String(member));
    if (value.isUndefined() || value.isNull()) return std::nullopt;
    if (!value.isBool()) unreadable(member);
    return value.toBool();
}

} // namespace

QuilloAuthResponse QuilloAuthResponse::decode(const QByteArray& body) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        throw CloudResponseDecodingError("account answer is not a JSON object");
    const QJsonObject object = document.object();

    QuilloAuthResponse response;
    response.accessToken = text(object, "accessToken");
    response.refreshToken = text(object, "refreshToken");
    response.expiresIn = number(object, "expiresIn", true);
    response.expiresAt = number(object, "expiresAt", false);
    const QJsonValue user = object.value(QLatin1String("user"));
    if (!user.isUndefined() && !user.isNull()) {
        if (!user.isObject()) unreadable("user");
        const QJsonObject u = user.toObject();
        response.user = QuilloAuthUser{text(u, "id"), text(u, "email"), text(u, "provider")};
    }
    response.emailConfirmationRequired = flag(object, "emailConfirmationRequired");
    response.oauthURL = text(object, "oauthURL");
    response.reauthenticationProof = text(object, "reauthenticationProof");
    response.mfaRequired = flag(object, "mfaRequired");
    return response;
}

std::optional<QString> QuilloAuthResponse::failureCode(const QByteArray& body) {
    const QJsonValue code = QJsonDocument::fromJson(body).object().value(QLatin1String("error"));
    if (!code.isString()) return std::nullopt;
    return code.toString();
}

} // namespace quillo
