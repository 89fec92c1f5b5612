#include "App/DesktopPlatform.h"

#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Linux/LinuxEventTap.h"
#include "Platform/Linux/LinuxKeyboardLayout.h"
#include "Platform/Linux/LinuxKeystrokeSender.h"
#include "Platform/Linux/LinuxPasteboard.h"
#include "Platform/Linux/LinuxWorkspace.h"
#include "Platform/Wayland/AtSpiWorkspace.h"
#include "Platform/Wayland/KGlobalAccelBinding.h"
#include "Platform/Wayland/KWinAccessibilityPermission.h"
#include "Platform/Wayland/KWinFakeInput.h"
#include "Platform/Wayland/SwayIpc.h"
#include "Platform/Wayland/SwayTriggerBinding.h"
#include "Platform/Wayland/SwayWorkspace.h"
#include "Platform/Wayland/WaylandAccessibilityPermission.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Platform/Wayland/WaylandPasteboard.h"
#include "Platform/Wayland/WaylandVirtualKeyboard.h"
#include "Support/Clock.h"

namespace quillo {

DesktopSession detectDesktopSession(const QString& sessionType, const QString& waylandDisplay,
                                    const QString& swaySocket, const QString& currentDesktop) {
    const bool wayland =
        sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0 || !waylandDisplay.isEmpty();
    if (!wayland) return DesktopSession::x11;
    if (!swaySocket.isEmpty()) return DesktopSession::sway;
    if (currentDesktop.split(QLatin1Char(':')).contains(QLatin1String("KDE"), Qt::CaseInsensitive))
        return DesktopSession::kwin;
    return DesktopSession::otherWayland;
}

DesktopSession currentDesktopSession() {
    QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (desktop.isEmpty() && qEnvironmentVariableIsSet("KDE_FULL_SESSION")) desktop = QStringLiteral("KDE");
    return detectDesktopSession(qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY"),
                                SwayIpc::sessionSocketPath(), desktop);
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

class KWinPlatform final : public DesktopPlatform {
public:
    KWinPlatform()
        : workspace_(Clock::shared()), keyboard_(connection_), pasteboard_(connection_), permission_(connection_) {
        QObject::connect(&binding_, &KGlobalAccelBinding::triggered, [this] {
            if (handler_) handler_();
        });
    }

    std::optional<DesktopBindingLine> bindingLine(const CorrectionTriggerPreference& trigger) const override {
        const auto code = trigger.keyDownCode();
        if (!code || !KGlobalAccelBinding::qtKey(*code))
            return DesktopBindingLine{QStringLiteral("KDE cannot use a modifier key alone as a shortcut: choose a "
                                                     "function key as the trigger, or give the command above a "
                                                     "shortcut in System Settings > Shortcuts > Custom Shortcuts."),
                                      QString()};
        return DesktopBindingLine{QStringLiteral("Quillo registers your trigger key with KDE as \"Correct the "
                                                 "focused text\". To give it another key, open System Settings > "
                                                 "Shortcuts > Quillo."),
                                  QString()};
    }
    void setTriggerHandler(const std::function<void()>& handler) override { handler_ = handler; }

    Workspace& workspace() override { return workspace_; }
    Pasteboard& pasteboard() override { return pasteboard_; }
    KeystrokeSender& keystrokes() override { return keyboard_; }
    KeyboardLayout& keyboardLayout() override { return keyboard_; }
    EventTap& eventTap() override { return binding_; }
    AccessibilityPermission& permission() override { return permission_; }

private:
    WaylandConnection connection_;
    AtSpiWorkspace workspace_;
    KWinFakeInput keyboard_;
    WaylandPasteboard pasteboard_;
    KGlobalAccelBinding binding_;
    KWinAccessibilityPermission permission_;
    std::function<void()> handler_;
};

// A compositor that shows us KWin's fake input is KWin, whatever the session says.
bool offersFakeInput() {
    const WaylandConnection probe;
    return probe.fakeInput() != nullptr;
}

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
    if (session == DesktopSession::kwin || (session == DesktopSession::otherWayland && offersFakeInput()))
        return std::make_unique<KWinPlatform>();
    if (session == DesktopSession::otherWayland) return std::make_unique<OtherWaylandPlatform>();
    return std::make_unique<X11Platform>();
}

} // namespace quillo
