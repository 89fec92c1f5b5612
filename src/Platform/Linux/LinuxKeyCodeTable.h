#pragma once

#include <QtGlobal>
#include <optional>

namespace quillo {

// One table between Linux evdev key codes (linux/input-event-codes.h; an X11 key code is the
// evdev code plus 8) and the virtual key codes the core stores and compares.
//
// Keys without a virtual code of their own (Print, Pause, Menu, media keys...) get the code
// 0x8000 + evdev code, so every physical key has a stable code of its own and can interrupt a
// held modifier trigger or even serve as a trigger.
namespace LinuxKeyCodeTable {

inline constexpr quint16 unmappedBase = 0x8000;
inline constexpr quint32 x11KeycodeOffset = 8;

// The evdev code of the Fn key where a keyboard reports it.
inline constexpr quint32 evdevFn = 0x1d0;

std::optional<quint16> virtualKeyCode(quint32 evdevCode);
std::optional<quint32> evdevCode(quint16 virtualKeyCode);

// X11 core key codes are limited to 8..255; keys beyond cannot be sent or seen there.
std::optional<quint32> x11Keycode(quint16 virtualKeyCode);
std::optional<quint16> virtualKeyCodeFromX11(quint32 x11Keycode);

bool isModifier(quint16 virtualKeyCode);
// The modifier flag a modifier key sets while held (caps lock: while locked); 0 otherwise.
quint64 modifierFlag(quint16 virtualKeyCode);

} // namespace LinuxKeyCodeTable
} // namespace quillo
