#include "App/DesktopPlatform.h"

#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Linux/LinuxEventTap.h"
#include "Platform/Linux/LinuxKeyboardLayout.h"
#include "Platform/Linux/LinuxKeystrokeSender.h"
#include "Platform/Linux/LinuxPasteboard.h"
#include "Platform/Linux/LinuxWorkspace.h"
#include "Platform/Wayland/AtSpiWorkspace.h"
#include "Platform/Wayland/GSettingsStore.h"
#include "Platform/Wayland/GnomeAccessibilityPermission.h"
#include "Platform/Wayland/GnomeInputSources.h"
#include "Platform/Wayland/GnomeRemoteDesktop.h"
#include "Platform/Wayland/GnomeTriggerBinding.h"
#include "Platform/Wayland/KGlobalAccelBinding.h"
#include "Platform/Wayland/KWinAccessibilityPermission.h"
#include "Platform/Wayland/KWinFakeInput.h"
#include "Platform/Wayland/RemoteDesktopKeyboard.h"
#include "Platform/Wayland/RemoteDesktopPasteboard.h"
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
    const QStringList desktops = currentDesktop.split(QLatin1Char(':'));
    if (desktops.contains(QLatin1String("KDE"), Qt::CaseInsensitive)) return DesktopSession::kwin;
    if (desktops.contains(QLatin1String("GNOME"), Qt::CaseInsensitive)) return DesktopSession::gnome;
    return DesktopSession::otherWayland;
}

DesktopSession currentDesktopSession() {
    QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (desktop.isEmpty() && qEnvironmentVariableIsSet("KDE_FULL_SESSION")) desktop = QStringLiteral("KDE");
    return detectDesktopSession(qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY"),
                                SwayIpc::sessionSocketPath(), desktop);
}

namespace {

// A platform whose seams are its own members, named once by `bind` when they are built.
class MemberPlatform : public DesktopPlatform {
public:
    struct Seams {
        Workspace* workspace;
        Pasteboard* pasteboard;
        KeystrokeSender* keystrokes;
        KeyboardLayout* keyboardLayout;
        EventTap* eventTap;
        AccessibilityPermission* permission;
    };

    Workspace& workspace() final { return *seams_.workspace; }
    Pasteboard& pasteboard() final { return *seams_.pasteboard; }
    KeystrokeSender& keystrokes() final { return *seams_.keystrokes; }
    KeyboardLayout& keyboardLayout() final { return *seams_.keyboardLayout; }
    EventTap& eventTap() final { return *seams_.eventTap; }
    AccessibilityPermission& permission() final { return *seams_.permission; }

protected:
    // Called from the constructor's body, once every member is built.
    void bind(const Seams& seams) { seams_ = seams; }

private:
    Seams seams_{};
};

class X11Platform final : public MemberPlatform {
public:
    X11Platform() { bind({&workspace_, &pasteboard_, &keystrokes_, &keyboardLayout_, &eventTap_, &permission_}); }

private:
    LinuxWorkspace workspace_;
    LinuxPasteboard pasteboard_;
    LinuxKeystrokeSender keystrokes_;
    LinuxKeyboardLayout keyboardLayout_;
    LinuxEventTap eventTap_;
    LinuxAccessibilityPermission permission_;
};

class SwayPlatform final : public MemberPlatform {
public:
    explicit SwayPlatform(const QString& triggerCommand)
        : command_(triggerCommand), ipc_(SwayIpc::sessionSocketPath()), workspace_(ipc_), keyboard_(connection_),
          pasteboard_(connection_), binding_(ipc_, triggerCommand), permission_(connection_, ipc_) {
        bind({&workspace_, &pasteboard_, &keyboard_, &keyboard_, &binding_, &permission_});
    }

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

class KWinPlatform final : public MemberPlatform {
public:
    KWinPlatform()
        : workspace_(Clock::shared()), keyboard_(connection_), pasteboard_(connection_), permission_(connection_) {
        bind({&workspace_, &pasteboard_, &keyboard_, &keyboard_, &binding_, &permission_});
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

private:
    WaylandConnection connection_;
    AtSpiWorkspace workspace_;
    KWinFakeInput keyboard_;
    WaylandPasteboard pasteboard_;
    KGlobalAccelBinding binding_;
    KWinAccessibilityPermission permission_;
    std::function<void()> handler_;
};

class GnomePlatform final : public MemberPlatform {
public:
    GnomePlatform(const QString& triggerCommand, UserDefaults& defaults)
        : workspace_(Clock::shared()),
          remoteDesktop_(defaults, GnomeRemoteDesktop::choose(GnomeRemoteDesktop::probe())),
          keyboard_(connection_, [this] { return remoteDesktop_.keyChannel(); }),
          pasteboard_(remoteDesktop_.clipboardChannel()), binding_(settings_, triggerCommand),
          permission_(remoteDesktop_) {
        bind({&workspace_, &pasteboard_, &keyboard_, &keyboard_, &binding_, &permission_});
        keyboard_.setActiveGroup([this] { return inputSources_.activeGroup(); });
        QObject::connect(&remoteDesktop_, &GnomeRemoteDesktop::notice, [this](const QString& sentence) {
            if (noticeHandler_) noticeHandler_(sentence);
        });
        remoteDesktop_.resume();
    }

    std::optional<DesktopBindingLine> bindingLine(const CorrectionTriggerPreference& trigger) const override {
        const auto code = trigger.keyDownCode();
        if (!code || !GnomeTriggerBinding::accelerator(*code))
            return DesktopBindingLine{QStringLiteral("GNOME cannot use a modifier key alone as a shortcut: choose a "
                                                     "function key as the trigger, or give the command above a "
                                                     "shortcut in Settings > Keyboard > Keyboard Shortcuts > Custom "
                                                     "Shortcuts."),
                                      QString()};
        return DesktopBindingLine{QStringLiteral("Quillo adds your trigger key to GNOME as the custom shortcut "
                                                 "\"Quillo\" while corrections are on. To use another key, choose it "
                                                 "here; GNOME lists it in Settings > Keyboard > Keyboard Shortcuts > "
                                                 "Custom Shortcuts."),
                                  QString()};
    }
    void setNoticeHandler(const std::function<void(const QString&)>& handler) override { noticeHandler_ = handler; }

private:
    WaylandConnection connection_;
    AtSpiWorkspace workspace_;
    GnomeRemoteDesktop remoteDesktop_;
    GnomeInputSources inputSources_;
    RemoteDesktopKeyboard keyboard_;
    RemoteDesktopPasteboard pasteboard_;
    GSettingsTool settings_;
    GnomeTriggerBinding binding_;
    GnomeAccessibilityPermission permission_;
    std::function<void(const QString&)> noticeHandler_;
};

// A desktop whose remote desktop service (Mutter's, or the portal's) gives both keys and the
// clipboard is served as GNOME, whatever the session says.
bool offersRemoteDesktop() {
    const GnomeRemoteDesktop::Routes routes = GnomeRemoteDesktop::choose(GnomeRemoteDesktop::probe());
    return routes.keys != GnomeRemoteDesktop::Route::none && routes.clipboard != GnomeRemoteDesktop::Route::none;
}

// A compositor that shows us KWin's fake input is KWin, whatever the session says.
bool offersFakeInput() {
    const WaylandConnection probe;
    return probe.fakeInput() != nullptr;
}

// Another Wayland compositor: nothing reaches other applications (the X11 layer finds nothing
// to reach), and the permission says what this desktop lacks.
class OtherWaylandPlatform final : public MemberPlatform {
public:
    OtherWaylandPlatform() {
        bind({&x11_.workspace(), &x11_.pasteboard(), &x11_.keystrokes(), &x11_.keyboardLayout(), &x11_.eventTap(),
              &permission_});
    }

private:
    X11Platform x11_;
    WaylandConnection connection_;
    SwayIpc noIpc_{QString()};
    WaylandAccessibilityPermission permission_{connection_, noIpc_, WaylandAccessibilityPermission::Compositor::other};
};

} // namespace

std::unique_ptr<DesktopPlatform> DesktopPlatform::make(DesktopSession session, const QString& triggerCommand,
                                                       UserDefaults& defaults) {
    if (session == DesktopSession::sway) return std::make_unique<SwayPlatform>(triggerCommand);
    if (session == DesktopSession::kwin || (session == DesktopSession::otherWayland && offersFakeInput()))
        return std::make_unique<KWinPlatform>();
    if (session == DesktopSession::gnome || (session == DesktopSession::otherWayland && offersRemoteDesktop()))
        return std::make_unique<GnomePlatform>(triggerCommand, defaults);
    if (session == DesktopSession::otherWayland) return std::make_unique<OtherWaylandPlatform>();
    return std::make_unique<X11Platform>();
}

} // namespace quillo
