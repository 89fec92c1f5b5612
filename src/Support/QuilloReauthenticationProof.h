#pragma once

#include <QString>

namespace quillo {

// The proof the account endpoint hands out for a Google re-verification: the unpadded
// base64url form of 32 bytes.
namespace QuilloReauthenticationProof {
bool isValid(const QString& proof);
} // namespace QuilloReauthenticationProof

} // namespace quillo
