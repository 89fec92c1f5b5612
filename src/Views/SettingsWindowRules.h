#pragma once

#include "Models/CorrectionTriggerActivation.h"
#include "Models/CorrectionTriggerPreference.h"

#include <QString>
#include <optional>

namespace quillo {

// The settings window's derived texts, as pure functions of what they depend on.
namespace SettingsWindowRules {

inline const QString detectionPrompt = QStringLiteral("Press a modifier, function, navigation, or control key.");
inline const QString typingKeyRefused = QStringLiteral("Typing keys are not accepted as triggers.");
inline const QString detectionTimedOut = QStringLiteral("Detection timed out.");
inline const QString tagline = QStringLiteral("One-Key Instant Correction for Linux");
inline const QString privacyText = QStringLiteral(
    "Cloud sends only the text being corrected over encrypted TLS 1.3 connections. It uses Zero Data Retention and "
    "your text is never used for AI training.");
inline const QString permissionUsage = QStringLiteral(
    "Quillo uses your desktop's keyboard control to trigger, copy, and replace text. It refuses password fields and "
    "the file manager, accepts only copied text, and never reads text through accessibility elements.");
inline const QString testBuildNote = QStringLiteral("Test build · Launch at login disabled");
inline const QString exportSucceeded = QStringLiteral("Logs exported successfully.");

inline constexpr double detectionTimeoutSeconds = 8.0;
inline constexpr double defaultPreviewDuration = 3.0;
inline constexpr int minimumPreviewDuration = 1;
inline constexpr int maximumPreviewDuration = 60;

// "Trigger set to <title>."
QString triggerSetMessage(const QString& title);

// The detection message when there is one; otherwise the trigger's key hint and the
// activation's hint, one space apart.
QString triggerHelpText(const std::optional<QString>& detectionMessage, const CorrectionTriggerPreference& trigger,
                        CorrectionTriggerActivation activation);

// "Sign-in required" when signed out, the credits as "%.2f" once known, "..." until then.
QString balanceText(bool signedIn, std::optional<double> availableCredits);

// The slider's position for a stored duration: 3 when absent, else rounded into 1…60.
int previewDurationPosition(std::optional<double> storedSeconds);
// "%.0f s".
QString previewDurationText(double seconds);

// "Quillo <version> is available."
QString updateBannerText(const QString& version);

} // namespace SettingsWindowRules

} // namespace quillo
