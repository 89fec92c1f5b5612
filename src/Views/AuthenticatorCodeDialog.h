#pragma once

#include "Platform/AuthenticatorCodePrompt.h"

#include <QString>

namespace quillo {

// The desktop's question for the current authenticator code: an application-modal dialog,
// awaited without a nested event loop.
class AuthenticatorCodeDialog final : public AuthenticatorCodePrompt {
public:
    static inline const QString title = QStringLiteral("Authenticator verification");
    static inline const QString informativeText =
        QStringLiteral("Enter the current six-digit code from your authenticator app.");
    static inline const QString invalidTitle = QStringLiteral("Invalid authenticator code");
    static inline const QString invalidText = QStringLiteral("Enter exactly six digits from your authenticator app.");

    QCoro::Task<std::optional<QString>> askForCode() override;
    QCoro::Task<> showInvalidCode() override;
};

} // namespace quillo
