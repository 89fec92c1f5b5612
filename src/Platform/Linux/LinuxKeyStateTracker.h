#pragma once

#include "Models/KeyboardEvent.h"

#include <QSet>
#include <QtGlobal>
#include <optional>

namespace quillo {

// Turns raw key transitions (evdev codes, press or release, as XInput2 raw events report them)
// into the key-down and flags-changed events of the core, keeping the modifier flags up to
// date from which modifier keys are down: Shift, Control, Alt (option), Super (command), Fn
// (function) while held, left or right; Caps Lock while locked.
//
// A press of a key that is already down is auto-repeat: for an ordinary key it is reported as
// a key-down marked isAutoRepeat, for a modifier it is no event at all. Releases of ordinary
// keys are key-ups; nothing else changes the flags.
class LinuxKeyStateTracker {
public:
    std::optional<KeyboardEvent> handle(quint32 evdevCode, bool pressed, bool reportedAsRepeat = false);

    quint64 modifierFlags() const;
    bool isDown(quint32 evdevCode) const { return down_.contains(evdevCode); }

    // Start from what the desktop says is down and locked now (keys pressed before the tap).
    void reset(const QSet<quint32>& downEvdevCodes, bool capsLockOn);

private:
    QSet<quint32> down_;
    bool capsLockOn_ = false;
};

} // namespace quillo
