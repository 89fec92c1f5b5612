#pragma once

#include "Platform/AccessibilityPermission.h"
#include "Platform/Wayland/GnomeRemoteDesktop.h"

#include <QStringList>

namespace quillo {

// What "trusted" means on GNOME: a remote-desktop session the user allowed types our keys and
// shares the clipboard, GNOME's shortcut settings can take the trigger's keybinding, and the
// accessibility bus answers (to classify the focused field). Before the user allowed it, the
// sentences explain the desktop's "Allow remote interaction" dialog that Allow brings up; after
// a refusal or an ended session, Allow asks again.
class GnomeAccessibilityPermission final : public AccessibilityPermission {
public:
    struct Facilities {
        GnomeRemoteDesktop::Routes routes;
        GnomeRemoteDesktop::Consent consent = GnomeRemoteDesktop::Consent::notAsked;
        bool keys = false;
        bool clipboard = false;
        bool keybindings = false;
        bool accessibilityBus = false;
        bool operator==(const Facilities&) const = default;
    };

    explicit GnomeAccessibilityPermission(GnomeRemoteDesktop& remoteDesktop);

    bool isProcessTrusted() const override { return isTrusted(probe()); }
    // With `prompt`, switches accessibility on and asks the desktop for remote interaction.
    bool requestTrust(bool prompt) override;
    QUrl settingsUrl() const override { return {}; }
    bool canAskAgain() const override;
    QStringList unmetRequirements() const override { return missingRequirements(probe()); }

    Facilities probe() const;
    static bool isTrusted(const Facilities& facilities);
    static QStringList missingRequirements(const Facilities& facilities);
    // Said before the desktop's dialog first appears.
    static QString dialogExplanation();

private:
    GnomeRemoteDesktop& remoteDesktop_;
};

} // namespace quillo
