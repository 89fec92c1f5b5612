#pragma once

#include "Support/QuilloBundleInfo.h"

#include <QString>
#include <QUrl>
#include <optional>

namespace quillo {

// What the information table says about updates: the feed, the key its signatures are checked
// with, and whether automatic checks are on until the user chooses.
struct UpdateFeedConfiguration {
    QUrl feedUrl;
    QString publicKey;                   // base64 Ed25519 public key, as configured
    std::optional<bool> automaticChecks; // "SUEnableAutomaticChecks"; none when absent

    static inline const QString testBuildBundleIdentifier = QStringLiteral("com.quillo.app.test");

    // A value still waiting for the real one: empty after trimming, or holding "REPLACE_WITH"
    // or an unexpanded build variable "$(".
    static bool isPlaceholder(const QString& value);
    // The configuration when the feed forms a URL and neither value is a placeholder.
    static std::optional<UpdateFeedConfiguration> from(const QuilloInfoDictionary& info);

    bool operator==(const UpdateFeedConfiguration&) const = default;
};

} // namespace quillo
