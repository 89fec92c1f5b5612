#pragma once

#include "Platform/KeystrokeSender.h"

#include <QList>
#include <QtGlobal>

struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name for Display

namespace quillo {

// Synthetic keys through XTest on a connection of its own; they reach the window with keyboard
// focus as if typed. Modifier flags become real modifier keys (Control_L for control, Shift_L,
// Alt_L for option, Super_L for command) pressed around the key.
//
// Before each key-down, modifier keys the user still holds (Shift, Alt, AltGr, Super, a right
// Control...) are released, so that Control+V stays exactly Control+V and an Arrow stays an
// Arrow. They are not pressed again afterwards: a key pressed back by us while the user lets
// go of it would stay stuck down. Every modifier we press is released with the key-up, and any
// still down when the sender goes away.
class LinuxKeystrokeSender final : public KeystrokeSender {
public:
    LinuxKeystrokeSender();
    ~LinuxKeystrokeSender() override;
    LinuxKeystrokeSender(const LinuxKeystrokeSender&) = delete;
    LinuxKeystrokeSender& operator=(const LinuxKeystrokeSender&) = delete;

    bool isAvailable() const override;
    bool post(const SyntheticKeystroke& keystroke) override;

    // The X key codes of modifier keys that are down now (Caps Lock and Num Lock excluded).
    QList<quint32> heldModifierKeycodes() const;

private:
    void releaseOurModifiers();

    _XDisplay* display_ = nullptr;
    bool xtest_ = false;
    QList<quint32> pressedByUs_;
};

} // namespace quillo
