#pragma once

#include "Services/QuilloSessionProviding.h"

namespace quillo {

// Holds one session handed to it (a command-line sign-in, a test) and never refreshes it.
// A refusal of its token ends it.
class FixedSessionProvider final : public QuilloSessionProviding {
    Q_OBJECT
public:
    explicit FixedSessionProvider(std::optional<QuilloAuthSession> session = std::nullopt, QObject* parent = nullptr)
        : QuilloSessionProviding(parent), session_(std::move(session)) {}

    std::optional<QuilloAuthSession> currentSession() const override { return session_; }
    QCoro::Task<std::optional<QString>> authorizationBearer() override;
    void invalidateSessionIfUnauthorized(const QString& bearer) override;

    void setSession(std::optional<QuilloAuthSession> session);
    int invalidations() const { return invalidations_; }

private:
    std::optional<QuilloAuthSession> session_;
    int invalidations_ = 0;
};

} // namespace quillo
