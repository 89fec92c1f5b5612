#pragma once

#include "Models/CorrectionTriggerPreference.h"
#include "Views/TriggerCommandField.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace quillo {

class AccessibilityPermission;
class EventTap;
class KeyboardLayout;
class KeystrokeSender;
class Pasteboard;
class UserDefaults;
class Workspace;

// Which desktop layer serves this session.
enum class DesktopSession {
    x11,
    sway,
    // KDE Plasma's KWin.
    kwin,
    // GNOME's Mutter (GNOME Shell).
    gnome,
    // A Wayland session of another compositor: nothing reaches other applications yet, and the
    // permission window says so.
    otherWayland,
};

// The session from its environment: Wayland when XDG_SESSION_TYPE says so or a Wayland display
// is named; sway when sway announced its IPC socket; KWin when the desktop (XDG_CURRENT_DESKTOP,
// a colon-separated list) is KDE; GNOME when it is GNOME (a hint only: `make` also serves as
// GNOME any other Wayland desktop that offers Mutter's or the portal's remote desktop).
DesktopSession detectDesktopSession(const QString& sessionType, const QString& waylandDisplay,
                                    const QString& swaySocket, const QString& currentDesktop = {});
DesktopSession currentDesktopSession();

// The desktop seams of one session, built once after the application object exists.
class DesktopPlatform {
public:
    virtual ~DesktopPlatform() = default;
    virtual Workspace& workspace() = 0;
    virtual Pasteboard& pasteboard() = 0;
    virtual KeystrokeSender& keystrokes() = 0;
    virtual KeyboardLayout& keyboardLayout() = 0;
    virtual EventTap& eventTap() = 0;
    virtual AccessibilityPermission& permission() = 0;
    // What Settings shows for keeping `trigger` bound in the desktop's own configuration.
    virtual std::optional<DesktopBindingLine> bindingLine(const CorrectionTriggerPreference& /*trigger*/) const {
        return std::nullopt;
    }

    // Where the desktop hands a trigger to Quillo itself rather than through the trigger command
    // (KDE's global shortcuts): `handler` is called for each.
    virtual void setTriggerHandler(const std::function<void()>& /*handler*/) {}
    // Where the desktop can withdraw what Quillo was allowed (GNOME's remote interaction):
    // `handler` is called once with a sentence for the user each time that happens.
    virtual void setNoticeHandler(const std::function<void(const QString&)>& /*handler*/) {}

    // `triggerCommand`: what a desktop binding runs to hand over a trigger; `defaults` keep
    // what the desktop allowed. Another Wayland session whose compositor shows KWin's fake
    // input is served as KWin, one that offers a remote desktop service as GNOME.
    static std::unique_ptr<DesktopPlatform> make(DesktopSession session, const QString& triggerCommand,
                                                 UserDefaults& defaults);
};

} // namespace quillo
