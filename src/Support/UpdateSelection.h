#pragma once

#include "Support/UpdateFeed.h"

#include <QString>
#include <optional>

namespace quillo {

// The running release, as the information table states it.
struct InstalledRelease {
    QString version;       // "CFBundleShortVersionString"
    QString buildNumber;   // "CFBundleVersion"
    QString systemVersion; // the kernel release this runs on
};

// Which feed item, if any, is the update for this installation.
namespace UpdateSelection {

// Whether the item runs on this system: no minimum, or the system's version at least the
// minimum. An unreadable system version satisfies nothing but items without a minimum.
bool runsOn(const UpdateFeedItem& item, const QString& systemVersion);
// Whether the item is a newer release than the installed one. An unreadable installed version
// counts as older than every release.
bool isNewer(const UpdateFeedItem& item, const InstalledRelease& installed);
// The newest item that runs here, when it is newer than what is installed.
std::optional<UpdateFeedItem> bestUpdate(const UpdateFeed& feed, const InstalledRelease& installed);
// The key a skipped release is remembered under: "<version>+<build>".
QString releaseKey(const UpdateFeedItem& item);

} // namespace UpdateSelection

} // namespace quillo
