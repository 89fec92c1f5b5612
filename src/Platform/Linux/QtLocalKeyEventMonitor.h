#pragma once

#include "Platform/Linux/LinuxKeyStateTracker.h"
#include "Platform/LocalKeyEventMonitor.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <memory>
#include <optional>

class QKeyEvent;

namespace quillo {

// The application's own key events, seen by an application-wide event filter before any
// window or widget gets them. Only events on their way into a window are looked at (each
// physical key event passes there exactly once); the evdev code is the native scan code
// minus 8 (an XKB key code, as X11 and Wayland sessions report it), translated like the
// session-wide tap: macOS virtual key codes and modifier flags.
//
// A swallowed key-down is stopped at its shortcut check as well (its ShortcutOverride is
// accepted and eaten), so it neither reaches the focused widget nor fires a shortcut; the
// auto-repeats and the release of a swallowed key are swallowed too. Platforms without native
// scan codes deliver nothing to the handlers.
class QtLocalKeyEventMonitor final : public QObject, public LocalKeyEventMonitor {
    Q_OBJECT
public:
    // Filters the events of the running QCoreApplication.
    explicit QtLocalKeyEventMonitor(QObject* parent = nullptr);
    ~QtLocalKeyEventMonitor() override;

    std::unique_ptr<Installation> install(Handler handler) override;
    int installedCount() const { return int(entries_.size()); }

    // The evdev code of a key event; none without a native scan code.
    static std::optional<quint32> evdevCode(const QKeyEvent& event);
    // What the key types with no modifier held, as far as the event tells it.
    static QString charactersIgnoringModifiers(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        Handler handler;
    };
    class Token;
    struct PendingPress {
        quint32 evdev = 0;
        quint64 timestamp = 0;
        bool swallowed = false;
    };

    bool press(quint32 evdev, const QKeyEvent& event);
    bool release(quint32 evdev);
    bool deliver(const KeyboardEvent& event);

    QList<std::shared_ptr<Entry>> entries_;
    LinuxKeyStateTracker tracker_;
    std::optional<PendingPress> pendingPress_;
    // Keys whose press a handler swallowed, until they are released.
    QSet<quint32> swallowedDown_;
};

} // namespace quillo
