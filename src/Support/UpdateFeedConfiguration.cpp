#include "Support/UpdateFeedConfiguration.h"

#include "Support/QuilloAppEnvironment.h"

namespace quillo {

bool UpdateFeedConfiguration::isPlaceholder(const QString& value) {
    return value.trimmed().isEmpty() || value.contains(QLatin1String("REPLACE_WITH")) ||
           value.contains(QLatin1String("$("));
}

std::optional<UpdateFeedConfiguration> UpdateFeedConfiguration::from(const QuilloInfoDictionary& info) {
    const auto feed = QuilloAppEnvironment::string(info, QuilloBundleInfo::updateFeedUrlKey);
    const auto key = QuilloAppEnvironment::string(info, QuilloBundleInfo::updatePublicKeyKey);
    if (!feed || !key || isPlaceholder(*feed) || isPlaceholder(*key)) return std::nullopt;
    const QUrl url(feed->trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) return std::nullopt;

    UpdateFeedConfiguration configuration;
    configuration.feedUrl = url;
    configuration.publicKey = key->trimmed();
    const QVariant automatic = info.value(QuilloBundleInfo::updateAutomaticChecksKey);
    if (automatic.typeId() == QMetaType::Bool) {
        configuration.automaticChecks = automatic.toBool();
    } else if (automatic.typeId() == QMetaType::QString) {
        const QString text = automatic.toString().trimmed().toLower();
        if (text == QLatin1String("yes") || text == QLatin1String("true") || text == QLatin1String("1"))
            configuration.automaticChecks = true;
        else if (text == QLatin1String("no") || text == QLatin1String("false") || text == QLatin1String("0"))
            configuration.automaticChecks = false;
    }
    return configuration;
}

} // namespace quillo
