#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace quillo {

// The signed-in session. Its JSON form is the secure store item's data.
struct QuilloAuthSession {
    QString accessToken;
    std::optional<QString> refreshToken;
    std::optional<double> expiresAt; // seconds since 1970-01-01 UTC; absent: no known expiry
    QString userId;
    QString userEmail;
    std::optional<QString> signInProvider; // "google" marks a Google session

    bool isGoogleSession() const { return signInProvider == QStringLiteral("google"); }

    // Keys are the field names; absent optionals are omitted.
    QJsonObject toJsonObject() const;
    QByteArray toJson() const;
    // Requires accessToken, userId and userEmail as strings; optionals may be missing or null.
    static std::optional<QuilloAuthSession> fromJsonObject(const QJsonObject& object);
    static std::optional<QuilloAuthSession> fromJson(const QByteArray& data);

    bool operator==(const QuilloAuthSession&) const = default;
};

} // namespace quillo
