#include "Platform/Linux/LinuxKeyStateTracker.h"

#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/LinuxKeyCodeTable.h"

namespace quillo {

quint64 LinuxKeyStateTracker::modifierFlags() const {
    quint64 flags = capsLockOn_ ? ModifierFlags::capsLock : 0;
    for (quint32 evdev : down_) {
        const auto virtualKey = LinuxKeyCodeTable::virtualKeyCode(evdev);
        if (!virtualKey) continue;
        const quint64 flag = LinuxKeyCodeTable::modifierFlag(*virtualKey);
        if (flag != ModifierFlags::capsLock) flags |= flag;
    }
    return flags;
}

void LinuxKeyStateTracker::reset(const QSet<quint32>& downEvdevCodes, bool capsLockOn) {
    down_ = downEvdevCodes;
    capsLockOn_ = capsLockOn;
}

std::optional<KeyboardEvent> LinuxKeyStateTracker::handle(quint32 evdevCode, bool pressed, bool reportedAsRepeat) {
    const auto virtualKey = LinuxKeyCodeTable::virtualKeyCode(evdevCode);
    if (!virtualKey) return std::nullopt;
    const bool modifier = LinuxKeyCodeTable::isModifier(*virtualKey);
    const bool wasDown = down_.contains(evdevCode);

    if (pressed) {
        const bool repeat = wasDown || reportedAsRepeat;
        down_.insert(evdevCode);
        if (modifier) {
            if (repeat) return std::nullopt;
            if (*virtualKey == VirtualKeyCode::capsLock) capsLockOn_ = !capsLockOn_;
            return KeyboardEvent{KeyboardEvent::Type::flagsChanged, *virtualKey, modifierFlags(), {}, false};
        }
        return KeyboardEvent{KeyboardEvent::Type::keyDown, *virtualKey, modifierFlags(), {}, repeat};
    }

    down_.remove(evdevCode);
    if (modifier) {
        // Caps Lock changes the flags on its press only; a release of a modifier that was
        // never seen down changes nothing either.
        if (*virtualKey == VirtualKeyCode::capsLock || !wasDown) return std::nullopt;
        return KeyboardEvent{KeyboardEvent::Type::flagsChanged, *virtualKey, modifierFlags(), {}, false};
    }
    return KeyboardEvent{KeyboardEvent::Type::keyUp, *virtualKey, modifierFlags(), {}, false};
}

} // namespace quillo
