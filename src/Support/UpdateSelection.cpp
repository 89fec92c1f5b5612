#include "Support/UpdateSelection.h"

namespace quillo::UpdateSelection {

bool runsOn(const UpdateFeedItem& item, const QString& systemVersion) {
    if (!item.minimumSystemVersion) return true;
    const auto minimum = UpdateVersion::leadingNumbers(*item.minimumSystemVersion);
    const auto system = UpdateVersion::leadingNumbers(systemVersion);
    return minimum && system && *system >= *minimum;
}

bool isNewer(const UpdateFeedItem& item, const InstalledRelease& installed) {
    const auto current = UpdateVersion::parse(installed.version);
    if (!current) return true;
    return std::is_gt(
        UpdateReleaseOrder::compare(item.parsedVersion(), item.buildNumber, *current, installed.buildNumber.trimmed()));
}

std::optional<UpdateFeedItem> bestUpdate(const UpdateFeed& feed, const InstalledRelease& installed) {
    std::optional<UpdateFeedItem> best;
    for (const UpdateFeedItem& item : feed.items) {
        if (!runsOn(item, installed.systemVersion)) continue;
        if (!best || std::is_gt(UpdateReleaseOrder::compare(item.parsedVersion(), item.buildNumber,
                                                            best->parsedVersion(), best->buildNumber)))
            best = item;
    }
    if (best && isNewer(*best, installed)) return best;
    return std::nullopt;
}

QString releaseKey(const UpdateFeedItem& item) { return item.version + QLatin1Char('+') + item.buildNumber; }

} // namespace quillo::UpdateSelection
