#pragma once

#include "Platform/KeyboardLayout.h"
#include "Platform/KeystrokeSender.h"
#include "Platform/Linux/XkbKeymapLookup.h"

#include <QByteArray>
#include <QObject>
#include <memory>

struct wl_proxy;
struct xkb_context;
struct xkb_keymap;

namespace quillo {

class WaylandConnection;

// Synthetic keys on a wlroots compositor through one virtual keyboard, made once and kept for
// the life of the program: making or dropping one makes GTK deactivate and reactivate its
// window. It carries the user's own keymap (every layout group), so an application that
// matches shortcuts by key code (GTK) finds Control+A where the user's layout has the A, and
// the layout lookups answer from the same keymap.
//
// The keymap is the one the seat announces; while our keyboard is the seat's active one, the
// seat announces ours back, which is ignored. Without any (a seat with no keyboard) it is
// compiled from the XKB defaults of the environment (XKB_DEFAULT_LAYOUT...).
//
// A keymap in which no group types a Latin letter (a Russian or Greek layout alone) is not
// sent: the toolkits match Control+A/C/V by a Latin letter some group types, and would find
// none. Our keys then carry a Latin (US) keymap, which also puts each shortcut at the key where
// the lookups place it (the letter's QWERTY position); the applications get the user's keymap
// back with the user's next key on their own keyboard.
//
// A virtual keyboard's keys do not move the modifier state: each key-down sends exactly the
// modifiers it is to be read with, and the key-up sends none again.
class WaylandVirtualKeyboard final : public QObject, public KeystrokeSender, public KeyboardLayout {
    Q_OBJECT
public:
    explicit WaylandVirtualKeyboard(WaylandConnection& connection, QObject* parent = nullptr);
    ~WaylandVirtualKeyboard() override;
    WaylandVirtualKeyboard(const WaylandVirtualKeyboard&) = delete;
    WaylandVirtualKeyboard& operator=(const WaylandVirtualKeyboard&) = delete;

    // KeystrokeSender
    bool isAvailable() const override;
    bool post(const SyntheticKeystroke& keystroke) override;

    // KeyboardLayout (isAvailable answers for both: the keymap is what makes either work)
    std::optional<QString> characters(quint16 keyCode) const override;
    std::optional<quint16> keyCode(QChar character) const override;

    // The keymap text our keyboard carries (as libxkbcommon writes it).
    const QByteArray& keymapText() const { return uploaded_; }
    // The modifier mask of the event-flag masks `flags` in this keymap.
    quint32 modifierMask(quint64 flags) const;
    static quint32 modifierMask(xkb_keymap* keymap, quint64 flags);
    // Whether some group of the keymap types a Latin letter.
    static bool typesLatinLetters(const XkbKeymapLookup& lookup);

private:
    void adoptSeatKeymap();
    bool useKeymap(xkb_keymap* keymap);
    bool upload();
    // The keymap our keys are sent with: the user's, or the Latin one in its place.
    xkb_keymap* sentKeymap() const;

    WaylandConnection& connection_;
    wl_proxy* keyboard_ = nullptr;
    xkb_context* context_ = nullptr;
    std::shared_ptr<xkb_keymap> keymap_;
    XkbKeymapLookup lookup_;
    QByteArray uploaded_;
    bool keymapSent_ = false;
    bool typesLatin_ = true;
};

} // namespace quillo
