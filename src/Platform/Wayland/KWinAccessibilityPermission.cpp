#include "Platform/Wayland/KWinAccessibilityPermission.h"

#include "Platform/Linux/AtSpiBus.h"
#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Wayland/KGlobalAccelBinding.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Support/Logging.h"

namespace quillo {

KWinAccessibilityPermission::KWinAccessibilityPermission(const WaylandConnection& connection)
    : connection_(connection) {}

KWinAccessibilityPermission::Facilities KWinAccessibilityPermission::probe() const {
    Facilities facilities;
    facilities.fakeInput = connection_.isConnected() && connection_.fakeInput();
    facilities.dataControl = connection_.isConnected() && connection_.dataControlManager();
    facilities.globalShortcuts = KGlobalAccelBinding::isServiceAvailable();
    facilities.accessibilityBus = LinuxAccessibilityPermission::accessibilityBusReachable();
    return facilities;
}

QStringList KWinAccessibilityPermission::missingRequirements(const Facilities& f) {
    QStringList missing;
    if (!f.fakeInput)
        missing.append(QStringLiteral(
            "KWin does not let Quillo type (org_kde_kwin_fake_input), which Quillo needs to copy and paste in other "
            "applications. KWin allows it only to programs whose installed desktop entry asks for it: install "
            "Quillo's package (or run packaging/install-desktop-entry), run kbuildsycoca5, then quit and start "
            "Quillo again."));
    if (!f.dataControl)
        missing.append(QStringLiteral("KWin offers no clipboard control (zwlr_data_control_manager_v1), which Quillo "
                                      "needs to keep your clipboard. It arrived in Plasma 5.27: update Plasma."));
    if (!f.globalShortcuts)
        missing.append(QStringLiteral("The global shortcut service (kglobalaccel) does not answer, so Quillo cannot "
                                      "set its trigger key. Start Quillo from inside your Plasma session, or bind "
                                      "the trigger command in System Settings > Shortcuts."));
    if (!f.accessibilityBus)
        missing.append(QStringLiteral("The accessibility bus is not running, so Quillo cannot tell text fields from "
                                      "password fields. Install at-spi2-core and log in to Plasma again."));
    return missing;
}

bool KWinAccessibilityPermission::isTrusted(const Facilities& f) {
    return f.fakeInput && f.dataControl && f.globalShortcuts && f.accessibilityBus;
}

bool KWinAccessibilityPermission::isProcessTrusted() const { return isTrusted(probe()); }

bool KWinAccessibilityPermission::requestTrust(bool prompt) {
    if (prompt) AtSpiBus::enableAccessibility();
    const Facilities f = probe();
    for (const QString& sentence : missingRequirements(f)) qCWarning(lcPermissions).noquote() << sentence;
    return isTrusted(f);
}

} // namespace quillo
