#include "Views/StartupLoadingRules.h"

namespace quillo {

namespace StartupLoadingRules {

StartupStatusState engineStatus(const StartupLoadingInputs& inputs) {
    if (inputs.cloudErrorMessage) return StartupStatusState::failed;
    if (inputs.cloudConfigured && inputs.signedIn) return StartupStatusState::ready;
    return StartupStatusState::needsAttention;
}

QString engineDetail(const StartupLoadingInputs& inputs) {
    if (!inputs.signedIn) return QStringLiteral("Sign in in Settings");
    return inputs.cloudConfigured ? QStringLiteral("Cloud Fast configured") : QStringLiteral("Cloud Fast unavailable");
}

StartupStatusState accountStatus(const StartupLoadingInputs& inputs) {
    return inputs.signedIn ? StartupStatusState::ready : StartupStatusState::needsAttention;
}

QString accountDetail(const StartupLoadingInputs& inputs) {
    return inputs.signedIn ? QStringLiteral("Signed in") : QStringLiteral("Sign in in Settings");
}

StartupStatusState permissionStatus(bool permissionGranted) {
    return permissionGranted ? StartupStatusState::ready : StartupStatusState::needsAttention;
}

QString permissionDetail(bool permissionGranted) {
    return permissionGranted ? QStringLiteral("Permission active")
                             : QStringLiteral("Required to detect the shortcut, copy, and replace text");
}

QString permissionNote(const QString& displayName) {
    return QStringLiteral("This permission applies specifically to ") + displayName;
}

bool isReady(const StartupLoadingInputs& inputs, bool permissionGranted) {
    return inputs.cloudConfigured && inputs.signedIn && permissionGranted;
}

QString dismissButtonTitle(const StartupLoadingInputs& inputs, bool permissionGranted) {
    return isReady(inputs, permissionGranted) ? QStringLiteral("Close") : QStringLiteral("Continue in background");
}

} // namespace StartupLoadingRules

} // namespace quillo
