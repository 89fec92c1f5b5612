#pragma once

#include "Platform/AccessibilityPermission.h"

#include <QStringList>

namespace quillo {

// What "trusted" means on an X11 desktop: the session really offers what the product needs.
// There is no per-application grant to ask for; there are three facilities that must be there:
// XInput2 (to observe the trigger key), XTest (to send Select All, Copy, Paste) and a reachable
// accessibility bus (to classify the focused field). A Wayland session that reaches this layer
// (not sway, which has its own) is never trusted and says so once.
class LinuxAccessibilityPermission final : public AccessibilityPermission {
public:
    struct Facilities {
        bool x11Session = false; // an X display, and not a Wayland session behind it
        bool xinput2 = false;
        bool xtest = false;
        bool accessibilityBus = false;
        bool operator==(const Facilities&) const = default;
    };

    bool isProcessTrusted() const override;
    // With `prompt`, switches the desktop's accessibility on (org.a11y.Status IsEnabled).
    bool requestTrust(bool prompt) override;
    // No desktop shares one address for its accessibility settings: none.
    QUrl settingsUrl() const override;

    Facilities probe() const;
    // One sentence per missing facility, saying how to get it; empty when trusted.
    static QStringList missingRequirements(const Facilities& facilities);
    QStringList missingRequirements() const { return missingRequirements(probe()); }

    // Whether the session bus names an accessibility bus that accepts a connection.
    static bool accessibilityBusReachable();
    // XDG_SESSION_TYPE=wayland, or a Wayland display.
    static bool isWaylandSession();
    // The sentence shown (and logged once) for a Wayland session.
    static QString waylandNotice();
};

} // namespace quillo
