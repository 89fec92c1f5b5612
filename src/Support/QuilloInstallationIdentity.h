#pragma once

#include <QString>

namespace quillo {

class UserDefaults;

// A random identifier of this installation, kept in the user defaults. Sent with sign-up and
// sign-in so the backend can recognise installations without knowing the user.
namespace QuilloInstallationIdentity {

inline const QString defaultsKey = QStringLiteral("quilloInstallationID");

// The stored lower-case version-4 UUID; a missing or malformed value is replaced by a new one.
QString value(UserDefaults& defaults);

// Whether `text` is a version-4 UUID of the standard variant (any case).
bool isRandomUUID(const QString& text);

} // namespace QuilloInstallationIdentity

} // namespace quillo
