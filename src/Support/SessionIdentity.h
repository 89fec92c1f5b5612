#pragma once

#include <QString>
#include <optional>

namespace quillo {

struct QuilloAuthSession;

// Identification (not validation) of the session an access token belongs to.
namespace AccessTokenSessionIdentity {
// The lower-cased "session_id" UUID claim of a JWT-shaped token, if any.
std::optional<QString> sessionID(const QString& accessToken);
} // namespace AccessTokenSessionIdentity

// The session on whose behalf an operation runs, captured when it started.
struct AuthenticatedSessionOwner {
    QString userID;
    std::optional<QString> sessionID;
    QString accessToken;

    static AuthenticatedSessionOwner from(const QuilloAuthSession& session);

    // Whether the current user and token still belong to this owner's session: the same user
    // and, when the owner's token carried a session identifier, the same identifier (a refreshed
    // token keeps it); otherwise the very same token.
    bool matches(const std::optional<QString>& userID, const std::optional<QString>& accessToken) const;

    bool operator==(const AuthenticatedSessionOwner&) const = default;
};

namespace SessionInvalidationPolicy {
// Only a 401 that names the session as invalid or required ends the session.
bool shouldInvalidateSession(int status, const std::optional<QString>& code);
// Whether an Authorization value is "Bearer <accessToken>" (scheme in any case).
bool authorizationMatchesAccessToken(const QString& authorization, const std::optional<QString>& accessToken);
} // namespace SessionInvalidationPolicy

} // namespace quillo
