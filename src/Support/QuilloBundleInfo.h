#pragma once

#include <QString>
#include <QVariantMap>

namespace quillo {

// The application's information table, keyed like a bundle's information dictionary
// ("CFBundleIdentifier", "QuilloBuildChannel", "CFBundleDisplayName", "CFBundleName",
// "CFBundleShortVersionString", "CFBundleVersion", and the update feed's "SUFeedURL", "SUPublicEDKey",
// "SUEnableAutomaticChecks"). Facts left empty at configure time are absent.
using QuilloInfoDictionary = QVariantMap;

namespace QuilloBundleInfo {

inline const QString bundleIdentifierKey = QStringLiteral("CFBundleIdentifier");
inline const QString buildChannelKey = QStringLiteral("QuilloBuildChannel");
inline const QString displayNameKey = QStringLiteral("CFBundleDisplayName");
inline const QString bundleNameKey = QStringLiteral("CFBundleName");
inline const QString shortVersionKey = QStringLiteral("CFBundleShortVersionString");
inline const QString bundleVersionKey = QStringLiteral("CFBundleVersion");
inline const QString updateFeedUrlKey = QStringLiteral("SUFeedURL");
inline const QString updatePublicKeyKey = QStringLiteral("SUPublicEDKey");
inline const QString updateAutomaticChecksKey = QStringLiteral("SUEnableAutomaticChecks"); // a Boolean

// The table generated from the build configuration.
const QuilloInfoDictionary& main();

} // namespace QuilloBundleInfo

} // namespace quillo
