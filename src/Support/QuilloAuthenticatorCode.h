#pragma once

#include <QString>
#include <optional>

namespace quillo {

// A six-digit authenticator code as the user typed it.
namespace QuilloAuthenticatorCode {
// The code without surrounding white space, when exactly six ASCII digits remain (inner spaces
// are not removed).
std::optional<QString> normalized(const QString& code);
} // namespace QuilloAuthenticatorCode

} // namespace quillo
