#include "Support/QuilloReauthenticationProof.h"

namespace quillo::QuilloReauthenticationProof {

bool isValid(const QString& proof) {
    const QByteArray utf8 = proof.toUtf8();
    if (utf8.size() != 43) return false;
    for (const char c : utf8) {
        const bool allowed =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!allowed) return false;
    }
    return true;
}

} // namespace quillo::QuilloReauthenticationProof
