#include "Platform/Linux/LinuxKeyCodeTable.h"

#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"

#include <linux/input-event-codes.h>

#include <array>
#include <utility>

namespace quillo::LinuxKeyCodeTable {

namespace {

namespace V = VirtualKeyCode;

// First entry per virtual code wins for the way back (evdevCode).
// clang-format off
constexpr std::pair<quint32, quint16> table[] = {
    // Letters.
    {KEY_A, V::a}, {KEY_S, V::s}, {KEY_D, V::d}, {KEY_F, V::f}, {KEY_H, V::h}, {KEY_G, V::g},
    {KEY_Z, V::z}, {KEY_X, V::x}, {KEY_C, V::c}, {KEY_V, V::v}, {KEY_102ND, V::isoSection},
    {KEY_B, V::b}, {KEY_Q, V::q}, {KEY_W, V::w}, {KEY_E, V::e}, {KEY_R, V::r}, {KEY_Y, V::y},
    {KEY_T, V::t}, {KEY_O, V::o}, {KEY_U, V::u}, {KEY_I, V::i}, {KEY_P, V::p}, {KEY_L, V::l},
    {KEY_J, V::j}, {KEY_K, V::k}, {KEY_N, V::n}, {KEY_M, V::m},
    // Digits.
    {KEY_1, V::digit1}, {KEY_2, V::digit2}, {KEY_3, V::digit3}, {KEY_4, V::digit4}, {KEY_5, V::digit5},
    {KEY_6, V::digit6}, {KEY_7, V::digit7}, {KEY_8, V::digit8}, {KEY_9, V::digit9}, {KEY_0, V::digit0},
    // Punctuation.
    {KEY_EQUAL, V::equal}, {KEY_MINUS, V::minus}, {KEY_RIGHTBRACE, V::rightBracket},
    {KEY_LEFTBRACE, V::leftBracket}, {KEY_APOSTROPHE, V::quote}, {KEY_SEMICOLON, V::semicolon},
    {KEY_BACKSLASH, V::backslash}, {KEY_COMMA, V::comma}, {KEY_SLASH, V::slash}, {KEY_DOT, V::period},
    {KEY_GRAVE, V::grave},
    // Editing and navigation. Insert sits where the Help key is on a Mac keyboard.
    {KEY_ENTER, V::returnKey}, {KEY_TAB, V::tab}, {KEY_SPACE, V::space}, {KEY_BACKSPACE, V::deleteKey},
    {KEY_ESC, V::escape}, {KEY_INSERT, V::help}, {KEY_HELP, V::help}, {KEY_HOME, V::home},
    {KEY_PAGEUP, V::pageUp}, {KEY_DELETE, V::forwardDelete}, {KEY_END, V::end}, {KEY_PAGEDOWN, V::pageDown},
    {KEY_LEFT, V::leftArrow}, {KEY_RIGHT, V::rightArrow}, {KEY_DOWN, V::downArrow}, {KEY_UP, V::upArrow},
    // Modifiers, left and right. Super is Command, Alt is Option.
    {KEY_RIGHTMETA, V::rightCommand}, {KEY_LEFTMETA, V::command}, {KEY_LEFTSHIFT, V::shift},
    {KEY_CAPSLOCK, V::capsLock}, {KEY_LEFTALT, V::option}, {KEY_LEFTCTRL, V::control},
    {KEY_RIGHTSHIFT, V::rightShift}, {KEY_RIGHTALT, V::rightOption}, {KEY_RIGHTCTRL, V::rightControl},
    {KEY_FN, V::function},
    // Function keys.
    {KEY_F1, V::f1}, {KEY_F2, V::f2}, {KEY_F3, V::f3}, {KEY_F4, V::f4}, {KEY_F5, V::f5},
    {KEY_F6, V::f6}, {KEY_F7, V::f7}, {KEY_F8, V::f8}, {KEY_F9, V::f9}, {KEY_F10, V::f10},
    {KEY_F11, V::f11}, {KEY_F12, V::f12}, {KEY_F13, V::f13}, {KEY_F14, V::f14}, {KEY_F15, V::f15},
    {KEY_F16, V::f16}, {KEY_F17, V::f17}, {KEY_F18, V::f18}, {KEY_F19, V::f19}, {KEY_F20, V::f20},
    // Volume.
    {KEY_VOLUMEUP, V::volumeUp}, {KEY_VOLUMEDOWN, V::volumeDown}, {KEY_MUTE, V::mute},
    // Keypad. Num Lock sits where the keypad Clear key is on a Mac keyboard.
    {KEY_KPDOT, V::keypadDecimal}, {KEY_KPASTERISK, V::keypadMultiply}, {KEY_KPPLUS, V::keypadPlus},
    {KEY_NUMLOCK, V::keypadClear}, {KEY_KPSLASH, V::keypadDivide}, {KEY_KPENTER, V::keypadEnter},
    {KEY_KPMINUS, V::keypadMinus}, {KEY_KPEQUAL, V::keypadEquals}, {KEY_KP0, V::keypad0},
    {KEY_KP1, V::keypad1}, {KEY_KP2, V::keypad2}, {KEY_KP3, V::keypad3}, {KEY_KP4, V::keypad4},
    {KEY_KP5, V::keypad5}, {KEY_KP6, V::keypad6}, {KEY_KP7, V::keypad7}, {KEY_KP8, V::keypad8},
    {KEY_KP9, V::keypad9},
};
// clang-format on

constexpr quint32 maximumEvdev = KEY_MAX;

struct Tables {
    std::array<qint32, maximumEvdev + 1> toVirtual{};
    std::array<qint32, 128> toEvdev{};
    Tables() {
        toVirtual.fill(-1);
        toEvdev.fill(-1);
        for (const auto& [evdev, virtualCode] : table) {
            if (toVirtual[evdev] < 0) toVirtual[evdev] = virtualCode;
            if (toEvdev[virtualCode] < 0) toEvdev[virtualCode] = static_cast<qint32>(evdev);
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

} // namespace

std::optional<quint16> virtualKeyCode(quint32 evdevCode) {
    if (evdevCode == 0 || evdevCode > maximumEvdev) return std::nullopt;
    const qint32 mapped = tables().toVirtual[evdevCode];
    if (mapped >= 0) return static_cast<quint16>(mapped);
    return static_cast<quint16>(unmappedBase + evdevCode);
}

std::optional<quint32> evdevCode(quint16 virtualKeyCode) {
    if (virtualKeyCode < 128) {
        const qint32 mapped = tables().toEvdev[virtualKeyCode];
        if (mapped < 0) return std::nullopt;
        return static_cast<quint32>(mapped);
    }
    if (virtualKeyCode < unmappedBase) return std::nullopt;
    const quint32 evdev = virtualKeyCode - unmappedBase;
    if (evdev == 0 || evdev > maximumEvdev || tables().toVirtual[evdev] >= 0) return std::nullopt;
    return evdev;
}

std::optional<quint32> x11Keycode(quint16 virtualKey) {
    const auto evdev = evdevCode(virtualKey);
    if (!evdev || *evdev + x11KeycodeOffset > 255) return std::nullopt;
    return *evdev + x11KeycodeOffset;
}

std::optional<quint16> virtualKeyCodeFromX11(quint32 keycode) {
    if (keycode < x11KeycodeOffset || keycode > 255) return std::nullopt;
    return virtualKeyCode(keycode - x11KeycodeOffset);
}

quint64 modifierFlag(quint16 virtualKey) {
    switch (virtualKey) {
    case V::shift:
    case V::rightShift: return ModifierFlags::shift;
    case V::control:
    case V::rightControl: return ModifierFlags::control;
    case V::option:
    case V::rightOption: return ModifierFlags::option;
    case V::command:
    case V::rightCommand: return ModifierFlags::command;
    case V::capsLock: return ModifierFlags::capsLock;
    case V::function: return ModifierFlags::function;
    default: return 0;
    }
}

bool isModifier(quint16 virtualKey) { return modifierFlag(virtualKey) != 0; }

} // namespace quillo::LinuxKeyCodeTable
