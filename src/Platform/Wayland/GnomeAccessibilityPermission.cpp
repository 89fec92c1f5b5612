#include "Platform/Wayland/GnomeAccessibilityPermission.h"

#include "Platform/Linux/AtSpiBus.h"
#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Wayland/GnomeTriggerBinding.h"
#include "Support/Logging.h"

namespace quillo {

using Consent = GnomeRemoteDesktop::Consent;
using Route = GnomeRemoteDesktop::Route;

GnomeAccessibilityPermission::GnomeAccessibilityPermission(GnomeRemoteDesktop& remoteDesktop)
    : remoteDesktop_(remoteDesktop) {}

GnomeAccessibilityPermission::Facilities GnomeAccessibilityPermission::probe() const {
    Facilities facilities;
    facilities.routes = remoteDesktop_.routes();
    facilities.consent = remoteDesktop_.consent();
    facilities.keys = remoteDesktop_.keysReady();
    facilities.clipboard = remoteDesktop_.clipboardReady();
    facilities.keybindings = GnomeTriggerBinding::isServiceAvailable();
    facilities.accessibilityBus = LinuxAccessibilityPermission::accessibilityBusReachable();
    return facilities;
}

bool GnomeAccessibilityPermission::isTrusted(const Facilities& f) {
    return f.keys && f.clipboard && f.keybindings && f.accessibilityBus;
}

QString GnomeAccessibilityPermission::dialogExplanation() {
    return QStringLiteral("When you press Allow, GNOME asks whether to \"Allow remote interaction\" with your "
                          "keyboard. Quillo uses it only to press Select All, Copy and Paste in the field you "
                          "correct, and to keep your clipboard; choose Share in that dialog. Quillo also adds a GNOME "
                          "keyboard shortcut for your trigger key, which you can change in Settings > Keyboard > "
                          "Keyboard Shortcuts > Custom Shortcuts.");
}

QStringList GnomeAccessibilityPermission::missingRequirements(const Facilities& f) {
    QStringList missing;
    if (f.routes.keys == Route::none)
        missing.append(QStringLiteral("GNOME offers neither the remote desktop portal nor Mutter's remote desktop "
                                      "service, which Quillo needs to copy and paste in other applications. Install "
                                      "xdg-desktop-portal-gnome, then log out and in again."));
    else if (!f.keys || (!f.clipboard && f.routes.clipboard != Route::none)) {
        switch (f.consent) {
        case Consent::notAsked: missing.append(dialogExplanation()); break;
        case Consent::asking:
            missing.append(QStringLiteral("Waiting for your answer in GNOME's \"Allow remote interaction\" dialog."));
            break;
        case Consent::refused: missing.append(GnomeRemoteDesktop::refusedSentence()); break;
        case Consent::revoked: missing.append(GnomeRemoteDesktop::revokedSentence()); break;
        case Consent::allowed:
            missing.append(QStringLiteral("GNOME allowed remote interaction but gave Quillo no keyboard or clipboard. "
                                          "Press Allow to ask again."));
            break;
        }
    }
    if (f.routes.clipboard == Route::none)
        missing.append(QStringLiteral("GNOME offers Quillo no clipboard (neither the portal's Clipboard nor Mutter's "
                                      "remote desktop service), which Quillo needs to keep your clipboard. Update "
                                      "GNOME, or log in to an X11 (Xorg) session."));
    if (!f.keybindings)
        missing.append(QStringLiteral("GNOME's keyboard shortcut settings (org.gnome.settings-daemon.plugins."
                                      "media-keys) are missing, so Quillo cannot set its trigger key. Install "
                                      "gnome-settings-daemon and log in to GNOME again."));
    if (!f.accessibilityBus)
        missing.append(QStringLiteral("The accessibility bus is not running, so Quillo cannot tell text fields from "
                                      "password fields. Install at-spi2-core and log in to GNOME again."));
    return missing;
}

bool GnomeAccessibilityPermission::canAskAgain() const {
    const Consent consent = remoteDesktop_.consent();
    return remoteDesktop_.routes().keys != Route::none && consent != Consent::asking &&
           !(remoteDesktop_.keysReady() && remoteDesktop_.clipboardReady());
}

bool GnomeAccessibilityPermission::requestTrust(bool prompt) {
    if (prompt) {
        AtSpiBus::enableAccessibility();
        remoteDesktop_.ask();
    }
    const Facilities f = probe();
    if (!isTrusted(f))
        for (const QString& sentence : missingRequirements(f)) qCInfo(lcPermissions).noquote() << sentence;
    return isTrusted(f);
}

} // namespace quillo
