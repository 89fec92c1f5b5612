#include "App/DesktopPlatform.h"

#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Linux/LinuxEventTap.h"
#include "Platform/Linux/LinuxKeyboardLayout.h"
#include "Platform/Linux/LinuxKeystrokeSender.h"
#include "Platform/Linux/LinuxPasteboard.h"
#include "Platform/Linux/LinuxWorkspace.h"
#include "Platform/Wayland/SwayIpc.h"
#include "Platform/Wayland/SwayTriggerBinding.h"
#include "Platform/Wayland/SwayWorkspace.h"
#include "Platform/Wayland/WaylandAccessibilityPermission.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Platform/Wayland/WaylandPasteboard.h"
#include "Platform/Wayland/WaylandVirtualKeyboard.h"

namespace quillo {

DesktopSession detectDesktopSession(const QString& sessionType, const QString& waylandDisplay,
                                    const QString& swaySocket) {
    const bool wayland =
        sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0 || !waylandDisplay.isEmpty();
    if (!wayland) return DesktopSession::x11;
    return swaySocket.isEmpty() ? DesktopSession::otherWayland : DesktopSession::sway;
}

DesktopSession currentDesktopSession() {
    return detectDesktopSession(qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY"),
                                SwayIpc::sessionSocketPath());
}

namespace {

class X11Platform final : public DesktopPlatform {
public:
    Workspace& workspace() override { return workspace_; }
    Pasteboard& pasteboard() override { return pasteboard_; }
    KeystrokeSender& keystrokes() override { return keystrokes_; }
    KeyboardLayout& keyboardLayout() override { return keyboardLayout_; }
    EventTap& eventTap() override { return eventTap_; }
    AccessibilityPermission& permission() override { return permission_; }

private:
    LinuxWorkspace workspace_;
    LinuxPasteboard pasteboard_;
    LinuxKeystrokeSender keystrokes_;
    LinuxKeyboardLayout keyboardLayout_;
    LinuxEventTap eventTap_;
    LinuxAccessibilityPermission permission_;
};

class SwayPlatform final : public DesktopPlatform {
public:
    explicit SwayPlatform(const QString& triggerCommand)
        : command_(triggerCommand), ipc_(SwayIpc::sessionSocketPath()), workspace_(ipc_), keyboard_(connection_),
          pasteboard_(connection_), binding_(ipc_, triggerCommand), permission_(connection_, ipc_) {}

    std::optional<DesktopBindingLine> bindingLine(const CorrectionTriggerPreference& trigger) const override {
        const auto code = trigger.keyDownCode();
        const auto key = code ? SwayTriggerBinding::keyName(*code) : std::nullopt;
        if (!key)
            return DesktopBindingLine{QStringLiteral("sway cannot bind a modifier key on its own: choose a function "
                                                     "key as the trigger, or bind the command above to a key "
                                                     "in your sway config."),
                                      QString()};
        return DesktopBindingLine{QStringLiteral("Quillo binds your trigger key in sway while it runs. To keep the "
                                                 "binding in every session, add this line to your sway config:"),
                                  SwayTriggerBinding::configurationLine(*key, command_)};
    }

    Workspace& workspace() override { return workspace_; }
    Pasteboard& pasteboard() override { return pasteboard_; }
    KeystrokeSender& keystrokes() override { return keyboard_; }
    KeyboardLayout& keyboardLayout() override { return keyboard_; }
    EventTap& eventTap() override { return binding_; }
    AccessibilityPermission& permission() override { return permission_; }

private:
    QString command_;
    WaylandConnection connection_;
    SwayIpc ipc_;
    SwayWorkspace workspace_;
    WaylandVirtualKeyboard keyboard_;
    WaylandPasteboard pasteboard_;
    SwayTriggerBinding binding_;
    WaylandAccessibilityPermission permission_;
};

// Another Wayland compositor: nothing reaches other applications (the X11 layer finds nothing
// to reach), and the permission says what this desktop lacks.
class OtherWaylandPlatform final : public DesktopPlatform {
public:
    Workspace& workspace() override { return x11_.workspace(); }
    Pasteboard& pasteboard() override { return x11_.pasteboard(); }
    KeystrokeSender& keystrokes() override { return x11_.keystrokes(); }
    KeyboardLayout& keyboardLayout() override { return x11_.keyboardLayout(); }
    EventTap& eventTap() override { return x11_.eventTap(); }
    AccessibilityPermission& permission() override { return permission_; }

private:
    X11Platform x11_;
    WaylandConnection connection_;
    SwayIpc noIpc_{QString()};
    WaylandAccessibilityPermission permission_{connection_, noIpc_, WaylandAccessibilityPermission::Compositor::other};
};

} // namespace

std::unique_ptr<DesktopPlatform> DesktopPlatform::make(DesktopSession session, const QString& triggerCommand) {
    if (session == DesktopSession::sway) return std::make_unique<SwayPlatform>(triggerCommand);
    if (session == DesktopSession::otherWayland) return std::make_unique<OtherWaylandPlatform>();
    return std::make_unique<X11Platform>();
}

} // namespace quillo
