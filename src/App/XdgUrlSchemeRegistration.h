#pragma once

#include <QString>
#include <optional>

namespace quillo {

// Makes this program the desktop's handler of "quillo:" links: a desktop entry in the user's
// applications folder that takes the URL (%u), made the default for x-scheme-handler/quillo.
namespace XdgUrlSchemeRegistration {

inline const QString scheme = QStringLiteral("quillo");

QString desktopEntryPath(const QString& applicationId);
QString desktopEntry(const QString& executable, const QString& displayName);
// The error, if any.
std::optional<QString> registerHandler(const QString& applicationId, const QString& executable,
                                       const QString& displayName);

} // namespace XdgUrlSchemeRegistration

} // namespace quillo
