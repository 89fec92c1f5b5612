#pragma once

#include "Services/QuilloAuthUser.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillo {

// A 200 answer of the account endpoint. Every member is optional; unknown members are ignored.
struct QuilloAuthResponse {
    std::optional<QString> accessToken;
    std::optional<QString> refreshToken;
    std::optional<double> expiresIn;
    std::optional<double> expiresAt;
    std::optional<QuilloAuthUser> user;
    std::optional<bool> emailConfirmationRequired;
    std::optional<QString> oauthURL;
    std::optional<QString> reauthenticationProof;
    std::optional<bool> mfaRequired;

    // Throws CloudResponseDecodingError unless `body` is a JSON object whose known members have
    // their types (null counts as absent).
    static QuilloAuthResponse decode(const QByteArray& body);
    // The "error" code of a refusal body, when there is one.
    static std::optional<QString> failureCode(const QByteArray& body);
};

} // namespace quillo
