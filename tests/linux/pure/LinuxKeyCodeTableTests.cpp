#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/LinuxKeyCodeTable.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <set>

using namespace quillo;
namespace V = quillo::VirtualKeyCode;
namespace T = quillo::LinuxKeyCodeTable;

TEST(LinuxKeyCodeTable, LettersDigitsAndFunctionKeysMapBothWays) {
    const std::pair<quint32, quint16> samples[] = {
        {KEY_A, V::a},      {KEY_Q, V::q},      {KEY_C, V::c},      {KEY_V, V::v},     {KEY_Z, V::z},   {KEY_M, V::m},
        {KEY_1, V::digit1}, {KEY_5, V::digit5}, {KEY_0, V::digit0}, {KEY_F1, V::f1},   {KEY_F6, V::f6}, {KEY_F8, V::f8},
        {KEY_F12, V::f12},  {KEY_F13, V::f13},  {KEY_F19, V::f19},  {KEY_F20, V::f20},
    };
    for (const auto& [evdev, virtualKey] : samples) {
        EXPECT_EQ(T::virtualKeyCode(evdev), virtualKey) << evdev;
        EXPECT_EQ(T::evdevCode(virtualKey), evdev) << virtualKey;
    }
}

TEST(LinuxKeyCodeTable, NavigationKeypadAndModifiersLeftAndRight) {
    const std::pair<quint32, quint16> samples[] = {
        {KEY_HOME, V::home},
        {KEY_END, V::end},
        {KEY_PAGEUP, V::pageUp},
        {KEY_PAGEDOWN, V::pageDown},
        {KEY_LEFT, V::leftArrow},
        {KEY_RIGHT, V::rightArrow},
        {KEY_UP, V::upArrow},
        {KEY_DOWN, V::downArrow},
        {KEY_DELETE, V::forwardDelete},
        {KEY_BACKSPACE, V::deleteKey},
        {KEY_ENTER, V::returnKey},
        {KEY_ESC, V::escape},
        {KEY_TAB, V::tab},
        {KEY_INSERT, V::help},
        {KEY_KP0, V::keypad0},
        {KEY_KP9, V::keypad9},
        {KEY_KPENTER, V::keypadEnter},
        {KEY_KPPLUS, V::keypadPlus},
        {KEY_KPSLASH, V::keypadDivide},
        {KEY_KPDOT, V::keypadDecimal},
        {KEY_LEFTSHIFT, V::shift},
        {KEY_RIGHTSHIFT, V::rightShift},
        {KEY_LEFTCTRL, V::control},
        {KEY_RIGHTCTRL, V::rightControl},
        {KEY_LEFTALT, V::option},
        {KEY_RIGHTALT, V::rightOption},
        {KEY_LEFTMETA, V::command},
        {KEY_RIGHTMETA, V::rightCommand},
        {KEY_CAPSLOCK, V::capsLock},
        {KEY_FN, V::function},
    };
    for (const auto& [evdev, virtualKey] : samples) {
        EXPECT_EQ(T::virtualKeyCode(evdev), virtualKey) << evdev;
        EXPECT_EQ(T::evdevCode(virtualKey), evdev) << virtualKey;
    }
    // The Help key also exists on some keyboards; it reads as Help, Insert is what is sent.
    EXPECT_EQ(T::virtualKeyCode(KEY_HELP), V::help);
}

TEST(LinuxKeyCodeTable, EveryVirtualCodeGoesBackToTheSameKey) {
    std::set<quint32> evdevSeen;
    for (quint16 code = 0; code < 128; ++code) {
        const auto evdev = T::evdevCode(code);
        if (!evdev) continue;
        EXPECT_TRUE(evdevSeen.insert(*evdev).second) << "two codes share evdev " << *evdev;
        EXPECT_EQ(T::virtualKeyCode(*evdev), code);
    }
    EXPECT_GE(evdevSeen.size(), 110u);
}

TEST(LinuxKeyCodeTable, KeysWithoutVirtualCodeGetStableCodesOfTheirOwn) {
    const auto print = T::virtualKeyCode(KEY_SYSRQ);
    const auto pause = T::virtualKeyCode(KEY_PAUSE);
    ASSERT_TRUE(print && pause);
    EXPECT_EQ(*print, T::unmappedBase + KEY_SYSRQ);
    EXPECT_NE(*print, *pause);
    EXPECT_EQ(T::evdevCode(*print), quint32(KEY_SYSRQ));
    // Codes that no key has: none.
    EXPECT_FALSE(T::virtualKeyCode(0));
    EXPECT_FALSE(T::virtualKeyCode(KEY_MAX + 1));
    EXPECT_FALSE(T::evdevCode(10000));
    EXPECT_FALSE(T::evdevCode(T::unmappedBase + KEY_A)); // that key has a real code
    EXPECT_FALSE(T::evdevCode(127));                     // a hole in the numbering
}

TEST(LinuxKeyCodeTable, X11KeycodesAreEvdevPlusEightWithinTheCoreRange) {
    EXPECT_EQ(T::x11Keycode(V::a), quint32(KEY_A + 8));
    EXPECT_EQ(T::virtualKeyCodeFromX11(KEY_V + 8), V::v);
    EXPECT_EQ(T::virtualKeyCodeFromX11(7), std::nullopt);
    EXPECT_EQ(T::virtualKeyCodeFromX11(256), std::nullopt);
    // Fn has evdev 464: beyond what X11 core key codes can carry.
    EXPECT_EQ(T::x11Keycode(V::function), std::nullopt);
}

TEST(LinuxKeyCodeTable, ModifierFlagsOfModifierKeys) {
    EXPECT_EQ(T::modifierFlag(V::shift), ModifierFlags::shift);
    EXPECT_EQ(T::modifierFlag(V::rightShift), ModifierFlags::shift);
    EXPECT_EQ(T::modifierFlag(V::rightControl), ModifierFlags::control);
    EXPECT_EQ(T::modifierFlag(V::rightOption), ModifierFlags::option);
    EXPECT_EQ(T::modifierFlag(V::command), ModifierFlags::command);
    EXPECT_EQ(T::modifierFlag(V::capsLock), ModifierFlags::capsLock);
    EXPECT_EQ(T::modifierFlag(V::function), ModifierFlags::function);
    EXPECT_EQ(T::modifierFlag(V::a), 0u);
    EXPECT_FALSE(T::isModifier(V::f8));
}
