#include "Platform/Wayland/WaylandAccessibilityPermission.h"

#include "Platform/Linux/AtSpiBus.h"
#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Wayland/SwayIpc.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Support/Logging.h"

namespace quillo {

WaylandAccessibilityPermission::WaylandAccessibilityPermission(const WaylandConnection& connection, const SwayIpc& ipc,
                                                               Compositor compositor)
    : connection_(connection), ipc_(ipc), compositor_(compositor) {}

WaylandAccessibilityPermission::Facilities WaylandAccessibilityPermission::probe() const {
    Facilities facilities;
    facilities.virtualKeyboard =
        connection_.isConnected() && connection_.virtualKeyboardManager() && connection_.seat();
    facilities.dataControl = connection_.isConnected() && connection_.dataControlManager();
    facilities.swayIpc = ipc_.request(SwayIpc::getInputs).has_value();
    facilities.accessibilityBus = LinuxAccessibilityPermission::accessibilityBusReachable();
    return facilities;
}

QString WaylandAccessibilityPermission::otherCompositorNotice() {
    return QStringLiteral("This Wayland desktop is neither sway nor KDE Plasma: Quillo finds the focused window and "
                          "binds the trigger key through sway's IPC or KDE Plasma's own services, and this "
                          "compositor offers neither. Log in to a sway, KDE Plasma or X11 (Xorg) session to use "
                          "the trigger key in other applications.");
}

QStringList WaylandAccessibilityPermission::missingRequirements(const Facilities& f, Compositor compositor) {
    QStringList missing;
    if (compositor == Compositor::other) missing.append(otherCompositorNotice());
    if (!f.virtualKeyboard)
        missing.append(QStringLiteral("The compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1), "
                                      "which Quillo needs to copy and paste in other applications. Use sway or "
                                      "another wlroots compositor."));
    if (!f.dataControl)
        missing.append(QStringLiteral("The compositor offers no clipboard control (zwlr_data_control_manager_v1), "
                                      "which Quillo needs to keep your clipboard. Use sway or another wlroots "
                                      "compositor."));
    if (!f.swayIpc && compositor == Compositor::sway)
        missing.append(QStringLiteral("sway does not answer on its IPC socket ($SWAYSOCK). Start Quillo from inside "
                                      "your sway session."));
    if (!f.accessibilityBus)
        missing.append(QStringLiteral("The accessibility bus is not running, so Quillo cannot tell text fields from "
                                      "password fields. Install at-spi2-core and turn on assistive technologies in "
                                      "your desktop's accessibility settings."));
    return missing;
}

bool WaylandAccessibilityPermission::isProcessTrusted() const {
    if (compositor_ != Compositor::sway) return false;
    const Facilities f = probe();
    return f.virtualKeyboard && f.dataControl && f.swayIpc && f.accessibilityBus;
}

bool WaylandAccessibilityPermission::requestTrust(bool prompt) {
    if (prompt) AtSpiBus::enableAccessibility();
    const Facilities f = probe();
    const bool trusted =
        compositor_ == Compositor::sway && f.virtualKeyboard && f.dataControl && f.swayIpc && f.accessibilityBus;
    if (!trusted)
        for (const QString& sentence : missingRequirements(f, compositor_))
            qCWarning(lcPermissions).noquote() << sentence;
    return trusted;
}

} // namespace quillo
