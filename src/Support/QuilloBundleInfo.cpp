#include "Support/QuilloBundleInfo.h"

#include "BuildInfo.h"

namespace quillo::QuilloBundleInfo {

namespace {
void insertIfSet(QuilloInfoDictionary& info, const QString& key, const char* value) {
    const QString text = QString::fromUtf8(value);
    if (!text.isEmpty()) info.insert(key, text);
}
} // namespace

const QuilloInfoDictionary& main() {
    static const QuilloInfoDictionary info = [] {
        QuilloInfoDictionary table;
        insertIfSet(table, bundleIdentifierKey, QUILLO_BUNDLE_IDENTIFIER);
        insertIfSet(table, buildChannelKey, QUILLO_BUILD_CHANNEL);
        insertIfSet(table, displayNameKey, QUILLO_DISPLAY_NAME);
        insertIfSet(table, bundleNameKey, QUILLO_BUNDLE_NAME);
        insertIfSet(table, shortVersionKey, QUILLO_SHORT_VERSION);
        insertIfSet(table, bundleVersionKey, QUILLO_BUILD_NUMBER);
        insertIfSet(table, updateFeedUrlKey, QUILLO_UPDATE_FEED_URL);
        insertIfSet(table, updatePublicKeyKey, QUILLO_UPDATE_PUBLIC_KEY);
        table.insert(updateAutomaticChecksKey, QUILLO_UPDATE_AUTOMATIC_CHECKS != 0);
        return table;
    }();
    return info;
}

} // namespace quillo::QuilloBundleInfo
