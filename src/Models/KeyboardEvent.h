#pragma once

#include <QString>
#include <cstdint>

namespace quillo {

// One key event as the event tap and the trigger capture see it. Key codes and flags use the
// macOS virtual-key numbering (VirtualKeyCode.h, ModifierFlags.h); the desktop input layer
// translates its native events into this form.
struct KeyboardEvent {
    enum class Type { keyDown, keyUp, flagsChanged, other };

    Type type = Type::other;
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;
    QString charactersIgnoringModifiers;
    bool isAutoRepeat = false;

    bool operator==(const KeyboardEvent&) const = default;
};

} // namespace quillo
