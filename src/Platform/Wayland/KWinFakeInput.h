#pragma once

#include "Platform/KeyboardLayout.h"
#include "Platform/KeystrokeSender.h"
#include "Platform/Linux/XkbKeymapLookup.h"

#include <QObject>

struct xkb_context;

namespace quillo {

class WaylandConnection;

// Synthetic keys on KWin through its fake input protocol. KWin feeds them through its own
// keyboard state, as if typed on a keyboard of the seat: modifiers are keys pressed around the
// key, and a key code types what the user's current layout puts on it. So the key for a
// shortcut letter is looked up in the keymap the seat announces, in the layout KWin says is
// active (org.kde.keyboard over D-Bus; the first one when it does not answer).
class KWinFakeInput final : public QObject, public KeystrokeSender, public KeyboardLayout {
    Q_OBJECT
public:
    explicit KWinFakeInput(WaylandConnection& connection, QObject* parent = nullptr);
    ~KWinFakeInput() override;
    KWinFakeInput(const KWinFakeInput&) = delete;
    KWinFakeInput& operator=(const KWinFakeInput&) = delete;

    // KeystrokeSender: whether KWin showed us its fake input.
    bool isAvailable() const override;
    bool post(const SyntheticKeystroke& keystroke) override;

    // KeyboardLayout
    std::optional<QString> characters(quint16 keyCode) const override;
    std::optional<quint16> keyCode(QChar character) const override;

    // The evdev keys pressed, in order, for the event-flag masks `flags` (released in reverse).
    static QList<quint32> modifierKeys(quint64 flags);
    // The layout KWin has active; none when it does not say.
    static std::optional<quint32> activeLayout();

private:
    void adoptSeatKeymap();
    const XkbKeymapLookup& lookup() const;

    WaylandConnection& connection_;
    xkb_context* context_ = nullptr;
    mutable XkbKeymapLookup lookup_;
    QList<quint32> held_;
};

} // namespace quillo
