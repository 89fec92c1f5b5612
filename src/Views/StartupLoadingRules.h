#pragma once

#include <QString>
#include <optional>

namespace quillo {

// The mark of one status row, in this order.
enum class StartupStatusState { checking, ready, needsAttention, failed };

// What the loading window shows, from the cloud and account services and the permission.
struct StartupLoadingInputs {
    bool cloudConfigured = false;
    bool signedIn = false;
    std::optional<QString> cloudErrorMessage;
    bool operator==(const StartupLoadingInputs&) const = default;
};

namespace StartupLoadingRules {

StartupStatusState engineStatus(const StartupLoadingInputs& inputs);
QString engineDetail(const StartupLoadingInputs& inputs);
StartupStatusState accountStatus(const StartupLoadingInputs& inputs);
QString accountDetail(const StartupLoadingInputs& inputs);
StartupStatusState permissionStatus(bool permissionGranted);
QString permissionDetail(bool permissionGranted);
// "This permission applies specifically to <display name>".
QString permissionNote(const QString& displayName);

bool isReady(const StartupLoadingInputs& inputs, bool permissionGranted);
// "Close" when everything is ready, "Continue in background" otherwise.
QString dismissButtonTitle(const StartupLoadingInputs& inputs, bool permissionGranted);

} // namespace StartupLoadingRules

} // namespace quillo
