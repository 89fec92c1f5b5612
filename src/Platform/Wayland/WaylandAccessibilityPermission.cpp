#include "Platform/Wayland/WaylandAccessibilityPermission.h"

#include "Platform/Linux/AtSpiBus.h"
#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Wayland/SwayIpc.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Support/Logging.h"

namespace quillo {

WaylandAccessibilityPermission::WaylandAccessibilityPermission(const WaylandConnection& connection, const SwayIpc& ipc)
    : connection_(connection), ipc_(ipc) {}

WaylandAccessibilityPermission::Facilities WaylandAccessibilityPermission::probe() const {
    Facilities facilities;
    facilities.virtualKeyboard =
        connection_.isConnected() && connection_.virtualKeyboardManager() && connection_.seat();
    facilities.dataControl = connection_.isConnected() && connection_.dataControlManager();
    facilities.swayIpc = ipc_.request(SwayIpc::getInputs).has_value();
    facilities.accessibilityBus = LinuxAccessibilityPermission::accessibilityBusReachable();
    return facilities;
}

QStringList WaylandAccessibilityPermission::missingRequirements(const Facilities& f) {
    QStringList missing;
    if (!f.virtualKeyboard)
        missing.append(QStringLiteral("The compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1), "
                                      "which Quillo needs to copy and paste in other applications. Use sway or "
                                      "another wlroots compositor."));
    if (!f.dataControl)
        missing.append(QStringLiteral("The compositor offers no clipboard control (zwlr_data_control_manager_v1), "
                                      "which Quillo needs to keep your clipboard. Use sway or another wlroots "
                                      "compositor."));
    if (!f.swayIpc)
        missing.append(QStringLiteral("sway does not answer on its IPC socket ($SWAYSOCK). Start Quillo from inside "
                                      "your sway session."));
    if (!f.accessibilityBus)
        missing.append(QStringLiteral("The accessibility bus is not running, so Quillo cannot tell text fields from "
                                      "password fields. Install at-spi2-core and turn on assistive technologies in "
                                      "your desktop's accessibility settings."));
    return missing;
}

bool WaylandAccessibilityPermission::isProcessTrusted() const {
    const Facilities f = probe();
    return f.virtualKeyboard && f.dataControl && f.swayIpc && f.accessibilityBus;
}

bool WaylandAccessibilityPermission::requestTrust(bool prompt) {
    if (prompt) AtSpiBus::enableAccessibility();
    const Facilities f = probe();
    const bool trusted = f.virtualKeyboard && f.dataControl && f.swayIpc && f.accessibilityBus;
    if (!trusted)
        for (const QString& sentence : missingRequirements(f)) qCWarning(lcPermissions).noquote() << sentence;
    return trusted;
}

} // namespace quillo
