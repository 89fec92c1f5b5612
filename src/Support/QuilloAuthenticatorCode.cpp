#include "Support/QuilloAuthenticatorCode.h"

namespace quillo::QuilloAuthenticatorCode {

std::optional<QString> normalized(const QString& code) {
    const QString trimmed = code.trimmed();
    const QByteArray utf8 = trimmed.toUtf8();
    if (utf8.size() != 6) return std::nullopt;
    for (const char c : utf8)
        if (c < '0' || c > '9') return std::nullopt;
    return trimmed;
}

} // namespace quillo::QuilloAuthenticatorCode
