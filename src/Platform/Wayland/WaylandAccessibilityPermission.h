#pragma once

#include "Platform/AccessibilityPermission.h"

#include <QStringList>

namespace quillo {

class WaylandConnection;
class SwayIpc;

// What "trusted" means on a wlroots desktop: the compositor offers a virtual keyboard and
// clipboard control, sway answers on its IPC socket (the trigger binding, the focused window)
// and the accessibility bus answers (to classify the focused field). Nothing is granted per
// application; what is missing is said in one sentence each.
//
// Under another Wayland compositor (neither sway nor KDE Plasma) Quillo is never trusted: it
// has no way there to follow the focused window or bind the trigger. The sentences then say
// which of the protocols it would also need are missing, and that this compositor is the
// reason.
class WaylandAccessibilityPermission final : public AccessibilityPermission {
public:
    struct Facilities {
        bool virtualKeyboard = false;
        bool dataControl = false;
        bool swayIpc = false;
        bool accessibilityBus = false;
        bool operator==(const Facilities&) const = default;
    };

    enum class Compositor { sway, other };

    WaylandAccessibilityPermission(const WaylandConnection& connection, const SwayIpc& ipc,
                                   Compositor compositor = Compositor::sway);

    bool isProcessTrusted() const override;
    // With `prompt`, switches the desktop's accessibility on (org.a11y.Status IsEnabled).
    bool requestTrust(bool prompt) override;
    QUrl settingsUrl() const override { return {}; }
    QStringList unmetRequirements() const override { return missingRequirements(probe(), compositor_); }

    Facilities probe() const;
    static QStringList missingRequirements(const Facilities& facilities, Compositor compositor = Compositor::sway);
    static QString otherCompositorNotice();

private:
    const WaylandConnection& connection_;
    const SwayIpc& ipc_;
    Compositor compositor_;
};

} // namespace quillo
