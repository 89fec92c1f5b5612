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
class WaylandAccessibilityPermission final : public AccessibilityPermission {
public:
    struct Facilities {
        bool virtualKeyboard = false;
        bool dataControl = false;
        bool swayIpc = false;
        bool accessibilityBus = false;
        bool operator==(const Facilities&) const = default;
    };

    WaylandAccessibilityPermission(const WaylandConnection& connection, const SwayIpc& ipc);

    bool isProcessTrusted() const override;
    // With `prompt`, switches the desktop's accessibility on (org.a11y.Status IsEnabled).
    bool requestTrust(bool prompt) override;
    QUrl settingsUrl() const override { return {}; }

    Facilities probe() const;
    static QStringList missingRequirements(const Facilities& facilities);

private:
    const WaylandConnection& connection_;
    const SwayIpc& ipc_;
};

} // namespace quillo
