#include "Platform/Linux/LinuxAccessibilityPermission.h"

#include "Platform/Linux/AtSpiBus.h"
#include "Support/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QUrl>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <atomic>

namespace quillo {

bool LinuxAccessibilityPermission::accessibilityBusReachable() {
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) return false;
    const QDBusMessage request =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusMessage reply = session.call(request, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    const QString address = reply.arguments().first().toString();
    if (address.isEmpty()) return false;
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("quillo-a11y-probe-%1").arg(++counter);
    const bool connected = QDBusConnection::connectToBus(address, name).isConnected();
    QDBusConnection::disconnectFromBus(name);
    return connected;
}

bool LinuxAccessibilityPermission::isWaylandSession() {
    if (qEnvironmentVariable("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0)
        return true;
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString LinuxAccessibilityPermission::waylandNotice() {
    return QStringLiteral("System-wide correction works in X11 and sway sessions for now. Log out and choose an X11 "
                          "(Xorg) session on the login screen to use the trigger key in other applications.");
}

LinuxAccessibilityPermission::Facilities LinuxAccessibilityPermission::probe() const {
    Facilities facilities;
    if (isWaylandSession()) {
        static std::atomic<bool> said{false};
        if (!said.exchange(true)) qCWarning(lcPermissions).noquote() << waylandNotice();
        // Nothing that reaches other applications is attempted under Wayland.
        return facilities;
    }
    if (Display* display = XOpenDisplay(nullptr)) {
        facilities.x11Session = true;
        int opcode = 0, event = 0, error = 0;
        int major = 2, minor = 0;
        facilities.xinput2 = XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
                             XIQueryVersion(display, &major, &minor) == Success && major >= 2;
        int tMajor = 0, tMinor = 0;
        facilities.xtest = XTestQueryExtension(display, &event, &error, &tMajor, &tMinor);
        XCloseDisplay(display);
    }
    facilities.accessibilityBus = accessibilityBusReachable();
    return facilities;
}

QStringList LinuxAccessibilityPermission::missingRequirements(const Facilities& f) {
    QStringList missing;
    if (!f.x11Session) {
        missing.append(isWaylandSession() ? waylandNotice()
                                          : QStringLiteral("No X11 display is reachable. Start Quillo inside your "
                                                           "desktop session."));
        return missing;
    }
    if (!f.xinput2)
        missing.append(QStringLiteral("The X server does not offer the XInput2 extension, which Quillo needs to "
                                      "notice the trigger key. Use an Xorg server of version 1.7 or later."));
    if (!f.xtest)
        missing.append(QStringLiteral("The X server does not offer the XTEST extension, which Quillo needs to copy "
                                      "and paste in other applications. Enable XTEST in the Xorg configuration."));
    if (!f.accessibilityBus)
        missing.append(QStringLiteral("The accessibility bus is not running, so Quillo cannot tell text fields from "
                                      "password fields. Install at-spi2-core and turn on assistive technologies in "
                                      "your desktop's accessibility settings."));
    return missing;
}

bool LinuxAccessibilityPermission::isProcessTrusted() const {
    const Facilities f = probe();
    return f.x11Session && f.xinput2 && f.xtest && f.accessibilityBus;
}

bool LinuxAccessibilityPermission::requestTrust(bool prompt) {
    const bool trusted = isProcessTrusted();
    if (prompt && !isWaylandSession()) {
        // The one thing this program can switch on by itself.
        AtSpiBus::enableAccessibility();
    }
    if (!trusted) {
        for (const QString& sentence : missingRequirements()) qCWarning(lcPermissions).noquote() << sentence;
    }
    return trusted;
}

QUrl LinuxAccessibilityPermission::settingsUrl() const { return QUrl(); }

} // namespace quillo
