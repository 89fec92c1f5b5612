#pragma once

#include <QString>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

// The desktop's modal question for the current code of the user's authenticator app.
class AuthenticatorCodePrompt {
public:
    virtual ~AuthenticatorCodePrompt() = default;

    // "Authenticator verification" with a masked field and "Verify" / "Cancel": the entry as
    // typed, or none when the user cancelled.
    virtual QCoro::Task<std::optional<QString>> askForCode() = 0;
    // "Invalid authenticator code": the entry was not six digits. Returns once dismissed.
    virtual QCoro::Task<> showInvalidCode() = 0;
};

} // namespace quillo
