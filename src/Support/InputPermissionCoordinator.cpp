#include "Support/InputPermissionCoordinator.h"

#include "Support/Logging.h"

#include <QPointer>

namespace quillo {

namespace InputPermissionNextActions {
std::optional<QString> title(InputPermissionNextAction action) {
    switch (action) {
    case InputPermissionNextAction::none: return std::nullopt;
    case InputPermissionNextAction::request: return QStringLiteral("Allow");
    case InputPermissionNextAction::openSettings: return QStringLiteral("Open Settings");
    }
    return std::nullopt;
}
} // namespace InputPermissionNextActions

bool InputPermissionState::isGranted(InputPermissionKind kind) const {
    switch (kind) {
    case InputPermissionKind::accessibility: return accessibilityGranted;
    }
    return false;
}

bool InputPermissionState::areGranted() const {
    for (auto kind : InputPermissionKinds::allCases)
        if (!isGranted(kind)) return false;
    return true;
}

InputPermissionNextAction InputPermissionState::nextAction(InputPermissionKind kind, bool requestAttempted) const {
    if (isGranted(kind)) return InputPermissionNextAction::none;
    return requestAttempted ? InputPermissionNextAction::openSettings : InputPermissionNextAction::request;
}

namespace InputControlPermissions {

InputPermissionState state(const AccessibilityPermission& permission) {
    return InputPermissionState{permission.isProcessTrusted()};
}

bool accessibilityGranted(const AccessibilityPermission& permission) { return permission.isProcessTrusted(); }

bool areGranted(const AccessibilityPermission& permission) { return state(permission).areGranted(); }

bool request(InputPermissionKind kind, AccessibilityPermission& permission) {
    switch (kind) {
    case InputPermissionKind::accessibility: {
        const bool granted = permission.requestTrust(true);
        qCInfo(lcPermissions).noquote() << QStringLiteral("Requested Accessibility permission; already granted: %1")
                                               .arg(granted ? QStringLiteral("true") : QStringLiteral("false"));
        return granted;
    }
    }
    return false;
}

bool openSettings(InputPermissionKind kind, const AccessibilityPermission& permission, Workspace& workspace) {
    switch (kind) {
    case InputPermissionKind::accessibility: return workspace.openUrl(permission.settingsUrl());
    }
    return false;
}

} // namespace InputControlPermissions

InputPermissionCoordinator::InputPermissionCoordinator(AccessibilityPermission& permission, Workspace& workspace,
                                                       Clock& clock, QObject* parent)
    : QObject(parent), permission_(permission), workspace_(workspace), clock_(clock),
      state_(InputControlPermissions::state(permission)) {}

InputPermissionCoordinator::~InputPermissionCoordinator() {
    if (pendingRefresh_) clock_.cancelScheduled(*pendingRefresh_);
}

InputPermissionNextAction InputPermissionCoordinator::nextAction(InputPermissionKind kind) const {
    return state_.nextAction(kind, attemptedRequests_.contains(kind) && !permission_.canAskAgain());
}

void InputPermissionCoordinator::performPrimaryAction(InputPermissionKind kind) {
    switch (nextAction(kind)) {
    case InputPermissionNextAction::request:
        attemptedRequests_.insert(kind);
        emit attemptedRequestsChanged();
        InputControlPermissions::request(kind, permission_);
        refreshAfterSystemPrompt();
        break;
    case InputPermissionNextAction::openSettings:
        InputControlPermissions::openSettings(kind, permission_, workspace_);
        break;
    case InputPermissionNextAction::none: refresh(); break;
    }
}

bool InputPermissionCoordinator::canOpenSettings(InputPermissionKind kind) const {
    switch (kind) {
    case InputPermissionKind::accessibility: return permission_.settingsUrl().isValid();
    }
    return false;
}

bool InputPermissionCoordinator::openSettings(InputPermissionKind kind) {
    return canOpenSettings(kind) && InputControlPermissions::openSettings(kind, permission_, workspace_);
}

void InputPermissionCoordinator::refresh() {
    const auto current = InputControlPermissions::state(permission_);
    if (current == state_) return;
    state_ = current;
    emit stateChanged();
}

void InputPermissionCoordinator::refreshAfterSystemPrompt() {
    refresh();
    if (pendingRefresh_) clock_.cancelScheduled(*pendingRefresh_);
    QPointer<InputPermissionCoordinator> weak(this);
    pendingRefresh_ = clock_.schedule(refreshDelayAfterPromptSeconds, [weak] {
        if (!weak) return;
        weak->pendingRefresh_.reset();
        weak->refresh();
    });
}

} // namespace quillo
