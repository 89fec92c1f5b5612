#include "Services/CloudPasswordSignIn.h"

#include "Services/QuilloCloudError.h"
#include "Support/Clock.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace quillo::CloudPasswordSignIn {

std::optional<QuilloAuthSession> sessionFromResponse(const QByteArray& body, double nowSince1970) {
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonObject user = object.value(QLatin1String("user")).toObject();
    const QJsonValue token = object.value(QLatin1String("accessToken"));
    const QJsonValue id = user.value(QLatin1String("id"));
    const QJsonValue email = user.value(QLatin1String("email"));
    if (!token.isString() || !id.isString() || !email.isString()) return std::nullopt;

    QuilloAuthSession session;
    session.accessToken = token.toString();
    session.userId = id.toString();
    session.userEmail = email.toString();
    if (const QJsonValue refresh = object.value(QLatin1String("refreshToken")); refresh.isString())
        session.refreshToken = refresh.toString();
    if (const QJsonValue provider = user.value(QLatin1String("provider")); provider.isString())
        session.signInProvider = provider.toString();
    if (const QJsonValue at = object.value(QLatin1String("expiresAt")); at.isDouble())
        session.expiresAt = at.toDouble();
    else if (const QJsonValue in = object.value(QLatin1String("expiresIn")); in.isDouble())
        session.expiresAt = nowSince1970 + in.toDouble();
    return session;
}

QCoro::Task<QuilloAuthSession> signIn(CloudHttpTransport& transport, QUrl authURL, QString email, QString password,
                                      QString installationId, CancellationToken token) {
    QJsonObject body;
    body.insert(QStringLiteral("action"), QStringLiteral("sign_in"));
    body.insert(QStringLiteral("email"), email);
    body.insert(QStringLiteral("password"), password);
    body.insert(QStringLiteral("installationId"), installationId);

    CloudHttpRequest request;
    request.method = "POST";
    request.url = std::move(authURL);
    request.headers = {{"Content-Type", "application/json"}};
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    request.timeoutSeconds = 15.0;

    const CloudHttpResponse response = co_await transport.send(std::move(request), token);
    if (response.status != 200) {
        std::optional<QString> code;
        const QJsonValue error = QJsonDocument::fromJson(response.body).object().value(QLatin1String("error"));
        if (error.isString()) code = error.toString();
        throw CloudSignInError(response.isHTTP() ? response.status : -1, code);
    }
    const double now = static_cast<double>(Clock::shared().now().toMSecsSinceEpoch()) / 1000.0;
    auto session = sessionFromResponse(response.body, now);
    if (!session) throw CloudResponseDecodingError("incomplete sign-in answer");
    co_return *session;
}

} // namespace quillo::CloudPasswordSignIn
