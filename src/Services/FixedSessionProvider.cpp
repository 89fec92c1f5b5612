#include "Services/FixedSessionProvider.h"

#include "Support/SessionIdentity.h"

namespace quillo {

QCoro::Task<std::optional<QString>> FixedSessionProvider::authorizationBearer() {
    std::optional<QString> bearer;
    if (session_) bearer = QStringLiteral("Bearer ") + session_->accessToken;
    co_return bearer;
}

void FixedSessionProvider::invalidateSessionIfUnauthorized(const QString& bearer) {
    if (!session_ || !SessionInvalidationPolicy::authorizationMatchesAccessToken(bearer, session_->accessToken)) return;
    ++invalidations_;
    setSession(std::nullopt);
}

void FixedSessionProvider::setSession(std::optional<QuilloAuthSession> session) {
    if (session_ == session) return;
    session_ = std::move(session);
    emit sessionChanged(session_);
}

} // namespace quillo
