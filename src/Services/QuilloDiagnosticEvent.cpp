#include "Services/QuilloDiagnosticEvent.h"

#include <QHash>

namespace quillo::QuilloDiagnosticEvents {

namespace {
using E = QuilloDiagnosticEvent;
using L = QuilloDiagnosticLevel;

struct Entry {
    E event;
    const char* raw;
    L level;
};

// In declaration order, so the table is indexed by the enum value.
constexpr Entry entries[count] = {
    {E::appLaunched, "app_launched", L::info},
    {E::inputPermissionMissing, "input_permission_missing", L::notice},
    {E::monitoringStarted, "monitoring_started", L::info},
    {E::monitoringStopped, "monitoring_stopped", L::info},
    {E::correctionStarted, "correction_started", L::info},
    {E::correctionCaptureUnavailable, "correction_capture_unavailable", L::notice},
    {E::correctionTargetChanged, "correction_target_changed", L::notice},
    {E::correctionUnchanged, "correction_unchanged", L::info},
    {E::correctionSucceeded, "correction_succeeded", L::info},
    {E::correctionCancelled, "correction_cancelled", L::info},
    {E::correctionFailed, "correction_failed", L::error},
    {E::cloudRequestStarted, "cloud_request_started", L::info},
    {E::cloudRequestSucceeded, "cloud_request_succeeded", L::info},
    {E::cloudRequestFailed, "cloud_request_failed", L::error},
    {E::monitoringFailed, "monitoring_failed", L::error},
    {E::accountCreated, "account_created", L::info},
    {E::sessionSignedIn, "session_signed_in", L::info},
    {E::sessionSignInFailed, "session_sign_in_failed", L::error},
    {E::sessionSignedOut, "session_signed_out", L::info},
    {E::sessionRefreshFailed, "session_refresh_failed", L::notice},
    {E::accountDeletionSucceeded, "account_deletion_succeeded", L::info},
    {E::accountDeletionFailed, "account_deletion_failed", L::error},
    {E::checkoutStarted, "checkout_started", L::info},
    {E::checkoutOpened, "checkout_opened", L::info},
    {E::checkoutFailed, "checkout_failed", L::error},
    {E::checkoutCompleted, "checkout_completed", L::info},
    {E::updateCheckRequested, "update_check_requested", L::info},
    {E::diagnosticsExportRequested, "diagnostics_export_requested", L::info},
    {E::diagnosticsExportCompleted, "diagnostics_export_completed", L::info},
    {E::diagnosticsExportFailed, "diagnostics_export_failed", L::error},
};

constexpr bool inDeclarationOrder() {
    for (int i = 0; i < count; ++i) {
        if (static_cast<int>(entries[i].event) != i) return false;
    }
    return true;
}
static_assert(inDeclarationOrder());

const Entry& entry(E event) { return entries[static_cast<int>(event)]; }
} // namespace

const std::array<QuilloDiagnosticEvent, count>& all() {
    static const auto events = [] {
        std::array<QuilloDiagnosticEvent, count> list{};
        for (int i = 0; i < count; ++i) list[i] = entries[i].event;
        return list;
    }();
    return events;
}

const char* rawName(QuilloDiagnosticEvent event) { return entry(event).raw; }

QString rawValue(QuilloDiagnosticEvent event) { return QString::fromLatin1(entry(event).raw); }

std::optional<QuilloDiagnosticEvent> fromRawValue(const QString& raw) {
    static const QHash<QString, QuilloDiagnosticEvent> byName = [] {
        QHash<QString, QuilloDiagnosticEvent> map;
        for (const Entry& e : entries) map.insert(QString::fromLatin1(e.raw), e.event);
        return map;
    }();
    const auto it = byName.constFind(raw);
    if (it == byName.constEnd()) return std::nullopt;
    return *it;
}

QuilloDiagnosticLevel level(QuilloDiagnosticEvent event) { return entry(event).level; }

} // namespace quillo::QuilloDiagnosticEvents
