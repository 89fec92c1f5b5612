#pragma once

#include <QtGlobal>

namespace quillo {

// One synthetic key transition. Key codes use the macOS virtual-key numbering (0 = the key
// right of Caps Lock, 8 = C position, 9 = V position, 124 = Right Arrow...); modifier flags
// use the matching event-flag masks (control 0x40000, option 0x80000, command 0x100000).
// An implementation over another input system maps both to its own codes.
struct SyntheticKeystroke {
    quint16 keyCode = 0;
    bool keyDown = true;
    quint64 modifierFlags = 0;
    bool operator==(const SyntheticKeystroke&) const = default;
};

// Posts synthetic keyboard input to the application that has keyboard focus, as if typed.
class KeystrokeSender {
public:
    virtual ~KeystrokeSender() = default;
    // Whether synthetic events can be made at all now (an event source exists).
    virtual bool isAvailable() const = 0;
    // Posts one transition; false when it could not be created or posted.
    virtual bool post(const SyntheticKeystroke& keystroke) = 0;
};

} // namespace quillo
