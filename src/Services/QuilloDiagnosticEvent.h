#pragma once

#include "Services/QuilloDiagnosticLevel.h"

#include <QString>
#include <array>
#include <optional>

namespace quillo {

// A notable technical event. Events carry no payload: never text, addresses, tokens or keys.
enum class QuilloDiagnosticEvent {
    appLaunched,
    inputPermissionMissing,
    monitoringStarted,
    monitoringStopped,
    correctionStarted,
    correctionCaptureUnavailable,
    correctionTargetChanged,
    correctionUnchanged,
    correctionSucceeded,
    correctionCancelled,
    correctionFailed,
    cloudRequestStarted,
    cloudRequestSucceeded,
    cloudRequestFailed,
    monitoringFailed,
    accountCreated,
    sessionSignedIn,
    sessionSignInFailed,
    sessionSignedOut,
    sessionRefreshFailed,
    accountDeletionSucceeded,
    accountDeletionFailed,
    checkoutStarted,
    checkoutOpened,
    checkoutFailed,
    checkoutCompleted,
    updateCheckRequested,
    diagnosticsExportRequested,
    diagnosticsExportCompleted,
    diagnosticsExportFailed,
};

namespace QuilloDiagnosticEvents {
inline constexpr int count = 30;
const std::array<QuilloDiagnosticEvent, count>& all();
// The stored name, e.g. "app_launched".
QString rawValue(QuilloDiagnosticEvent event);
const char* rawName(QuilloDiagnosticEvent event);
std::optional<QuilloDiagnosticEvent> fromRawValue(const QString& raw);
QuilloDiagnosticLevel level(QuilloDiagnosticEvent event);
} // namespace QuilloDiagnosticEvents

} // namespace quillo
