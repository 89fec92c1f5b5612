#pragma once

#include "Platform/KeyboardLayout.h"
#include "Platform/KeystrokeSender.h"
#include "Platform/Linux/XkbKeymapLookup.h"

#include <QObject>
#include <functional>

struct xkb_context;

namespace quillo {

class RemoteKeyChannel;
class WaylandConnection;

// Synthetic keys on GNOME through a remote-desktop session (the portal's, or Mutter's own).
// Mutter feeds them through its keyboard state as keys of the seat: modifiers are pressed around
// the key, and the key for a shortcut letter is looked up in the keymap the seat announces to
// us, in the layout `activeGroup` says is in use (Mutter tells that only to the focused client;
// the first layout when nothing says).
class RemoteDesktopKeyboard final : public QObject, public KeystrokeSender, public KeyboardLayout {
    Q_OBJECT
public:
    // `channel`: the session keys go through now; none while there is none.
    RemoteDesktopKeyboard(WaylandConnection& connection, std::function<RemoteKeyChannel*()> channel,
                          QObject* parent = nullptr);
    ~RemoteDesktopKeyboard() override;
    RemoteDesktopKeyboard(const RemoteDesktopKeyboard&) = delete;
    RemoteDesktopKeyboard& operator=(const RemoteDesktopKeyboard&) = delete;

    // KeystrokeSender: a running session and a keymap to look keys up in.
    bool isAvailable() const override;
    bool post(const SyntheticKeystroke& keystroke) override;

    // KeyboardLayout
    std::optional<QString> characters(quint16 keyCode) const override { return lookup().characters(keyCode); }
    std::optional<quint16> keyCode(QChar character) const override { return lookup().keyCode(character); }

    // The keymap to look keys up in (for tests and a keymap read elsewhere).
    void setKeymap(const XkbKeymapLookup& lookup) { lookup_ = lookup; }
    // Which of the keymap's layouts is in use now; none when unknown.
    void setActiveGroup(std::function<std::optional<quint32>()> activeGroup) { activeGroup_ = std::move(activeGroup); }
    // The keys (evdev codes) held down now by posts not yet released.
    const QList<quint32>& heldKeys() const { return held_; }

private:
    void adoptSeatKeymap();
    void releaseHeld();
    const XkbKeymapLookup& lookup() const;

    WaylandConnection& connection_;
    std::function<RemoteKeyChannel*()> channel_;
    xkb_context* context_ = nullptr;
    mutable XkbKeymapLookup lookup_;
    std::function<std::optional<quint32>()> activeGroup_;
    QList<quint32> held_;
};

} // namespace quillo
