#pragma once

#include "Platform/AccessibilityPermission.h"
#include "Platform/Workspace.h"
#include "Support/Clock.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <array>
#include <optional>

namespace quillo {

enum class InputPermissionKind { accessibility };

namespace InputPermissionKinds {
inline constexpr std::array<InputPermissionKind, 1> allCases{InputPermissionKind::accessibility};
} // namespace InputPermissionKinds

inline size_t qHash(InputPermissionKind kind, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(kind), seed);
}

enum class InputPermissionNextAction { none, request, openSettings };

namespace InputPermissionNextActions {
// The button title: none, "Allow", "Open Settings".
std::optional<QString> title(InputPermissionNextAction action);
} // namespace InputPermissionNextActions

struct InputPermissionState {
    bool accessibilityGranted = false;

    bool isGranted(InputPermissionKind kind) const;
    bool areGranted() const;
    // Nothing when granted; the settings once a request was already made in this run.
    InputPermissionNextAction nextAction(InputPermissionKind kind, bool requestAttempted) const;
    bool operator==(const InputPermissionState&) const = default;
};

namespace InputControlPermissions {
InputPermissionState state(const AccessibilityPermission& permission);
bool accessibilityGranted(const AccessibilityPermission& permission);
bool areGranted(const AccessibilityPermission& permission);
// Lets the system ask the user; returns whether it was already granted.
bool request(InputPermissionKind kind, AccessibilityPermission& permission);
bool openSettings(InputPermissionKind kind, const AccessibilityPermission& permission, Workspace& workspace);
} // namespace InputControlPermissions

// Asks for and watches the input permission for onboarding and settings (main thread).
class InputPermissionCoordinator : public QObject {
    Q_OBJECT
public:
    static constexpr double refreshDelayAfterPromptSeconds = 0.5;

    InputPermissionCoordinator(AccessibilityPermission& permission, Workspace& workspace,
                               Clock& clock = Clock::shared(), QObject* parent = nullptr);
    ~InputPermissionCoordinator() override;

    const InputPermissionState& state() const { return state_; }
    const QSet<InputPermissionKind>& attemptedRequests() const { return attemptedRequests_; }

    InputPermissionNextAction nextAction(InputPermissionKind kind) const;
    void performPrimaryAction(InputPermissionKind kind);
    void refresh();
    // The desktop's settings for the permission, whatever the next step would be; false when
    // the desktop has no such place.
    bool canOpenSettings(InputPermissionKind kind) const;
    bool openSettings(InputPermissionKind kind);

signals:
    void stateChanged();
    void attemptedRequestsChanged();

private:
    void refreshAfterSystemPrompt();

    AccessibilityPermission& permission_;
    Workspace& workspace_;
    Clock& clock_;
    InputPermissionState state_;
    QSet<InputPermissionKind> attemptedRequests_;
    std::optional<Clock::TimerId> pendingRefresh_;
};

} // namespace quillo
