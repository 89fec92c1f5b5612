#include "Views/SettingsWindowRules.h"

#include <algorithm>
#include <cmath>

namespace quillo::SettingsWindowRules {

QString triggerSetMessage(const QString& title) { return QStringLiteral("Trigger set to ") + title + QLatin1Char('.'); }

QString triggerHelpText(const std::optional<QString>& detectionMessage, const CorrectionTriggerPreference& trigger,
                        CorrectionTriggerActivation activation) {
    if (detectionMessage && !detectionMessage->isEmpty()) return *detectionMessage;
    return trigger.hint() + QLatin1Char(' ') + CorrectionTriggerActivations::hint(activation);
}

QString balanceText(bool signedIn, std::optional<double> availableCredits) {
    if (!signedIn) return QStringLiteral("Sign-in required");
    if (!availableCredits) return QStringLiteral("...");
    return QString::asprintf("%.2f", *availableCredits);
}

int previewDurationPosition(std::optional<double> storedSeconds) {
    const double seconds = storedSeconds.value_or(defaultPreviewDuration);
    // A value written by hand (NaN, negative, huge) still puts the slider somewhere valid.
    if (!std::isfinite(seconds)) return int(defaultPreviewDuration);
    return int(std::lround(std::clamp(seconds, double(minimumPreviewDuration), double(maximumPreviewDuration))));
}

QString previewDurationText(double seconds) { return QString::asprintf("%.0f s", seconds); }

QString updateBannerText(const QString& version) {
    return QStringLiteral("Quillo ") + version + QStringLiteral(" is available.");
}

} // namespace quillo::SettingsWindowRules
