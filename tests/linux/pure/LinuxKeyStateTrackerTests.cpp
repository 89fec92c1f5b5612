#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/LinuxKeyStateTracker.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace quillo;
namespace F = quillo::ModifierFlags;
namespace V = quillo::VirtualKeyCode;
using Type = KeyboardEvent::Type;

namespace {
KeyboardEvent press(LinuxKeyStateTracker& t, quint32 evdev) {
    auto e = t.handle(evdev, true);
    EXPECT_TRUE(e.has_value()) << "press " << evdev;
    return e.value_or(KeyboardEvent{});
}
KeyboardEvent release(LinuxKeyStateTracker& t, quint32 evdev) {
    auto e = t.handle(evdev, false);
    EXPECT_TRUE(e.has_value()) << "release " << evdev;
    return e.value_or(KeyboardEvent{});
}
} // namespace

TEST(LinuxKeyStateTracker, LeftAndRightModifiersKeepTheFlagWhileEitherIsDown) {
    LinuxKeyStateTracker t;
    auto e = press(t, KEY_LEFTSHIFT);
    EXPECT_EQ(e.type, Type::flagsChanged);
    EXPECT_EQ(e.keyCode, V::shift);
    EXPECT_EQ(e.modifierFlags, F::shift);

    e = press(t, KEY_RIGHTSHIFT);
    EXPECT_EQ(e.keyCode, V::rightShift);
    EXPECT_EQ(e.modifierFlags, F::shift);

    e = release(t, KEY_LEFTSHIFT);
    EXPECT_EQ(e.type, Type::flagsChanged);
    EXPECT_EQ(e.modifierFlags, F::shift) << "right shift still down";

    e = release(t, KEY_RIGHTSHIFT);
    EXPECT_EQ(e.keyCode, V::rightShift);
    EXPECT_EQ(e.modifierFlags, 0u);
}

TEST(LinuxKeyStateTracker, AltIsOptionSuperIsCommandAndFlagsCombine) {
    LinuxKeyStateTracker t;
    EXPECT_EQ(press(t, KEY_LEFTCTRL).modifierFlags, F::control);
    EXPECT_EQ(press(t, KEY_RIGHTALT).modifierFlags, F::control | F::option);
    EXPECT_EQ(press(t, KEY_LEFTMETA).modifierFlags, F::control | F::option | F::command);
    const auto key = press(t, KEY_C);
    EXPECT_EQ(key.type, Type::keyDown);
    EXPECT_EQ(key.keyCode, V::c);
    EXPECT_EQ(key.modifierFlags, F::control | F::option | F::command);
    EXPECT_EQ(release(t, KEY_C).type, Type::keyUp);
    EXPECT_EQ(release(t, KEY_RIGHTALT).modifierFlags, F::control | F::command);
    EXPECT_EQ(release(t, KEY_LEFTMETA).modifierFlags, F::control);
    EXPECT_EQ(release(t, KEY_LEFTCTRL).modifierFlags, 0u);
}

TEST(LinuxKeyStateTracker, FnIsTheFunctionFlagWhileHeld) {
    LinuxKeyStateTracker t;
    const auto down = press(t, KEY_FN);
    EXPECT_EQ(down.type, Type::flagsChanged);
    EXPECT_EQ(down.keyCode, V::function);
    EXPECT_EQ(down.modifierFlags, F::function);
    const auto up = release(t, KEY_FN);
    EXPECT_EQ(up.keyCode, V::function);
    EXPECT_EQ(up.modifierFlags, 0u);
}

TEST(LinuxKeyStateTracker, CapsLockTogglesOnPressOnly) {
    LinuxKeyStateTracker t;
    auto e = press(t, KEY_CAPSLOCK);
    EXPECT_EQ(e.type, Type::flagsChanged);
    EXPECT_EQ(e.keyCode, V::capsLock);
    EXPECT_EQ(e.modifierFlags, F::capsLock);
    EXPECT_FALSE(t.handle(KEY_CAPSLOCK, false)) << "the release does not unlock";
    EXPECT_EQ(press(t, KEY_LEFTSHIFT).modifierFlags, F::capsLock | F::shift);
    EXPECT_EQ(release(t, KEY_LEFTSHIFT).modifierFlags, F::capsLock);
    EXPECT_EQ(press(t, KEY_CAPSLOCK).modifierFlags, 0u);
    EXPECT_FALSE(t.handle(KEY_CAPSLOCK, false));
    EXPECT_EQ(t.modifierFlags(), 0u);
}

TEST(LinuxKeyStateTracker, AutoRepeatIsNeverANewPress) {
    LinuxKeyStateTracker t;
    // A held modifier repeats silently: no second flags change that could restart a trigger.
    press(t, KEY_RIGHTALT);
    EXPECT_FALSE(t.handle(KEY_RIGHTALT, true));
    EXPECT_FALSE(t.handle(KEY_RIGHTALT, true, true));
    EXPECT_EQ(release(t, KEY_RIGHTALT).modifierFlags, 0u);

    // A held ordinary key: the first press is a press, the rest are marked repeats.
    const auto first = press(t, KEY_F8);
    EXPECT_FALSE(first.isAutoRepeat);
    EXPECT_TRUE(press(t, KEY_F8).isAutoRepeat);
    EXPECT_TRUE(press(t, KEY_F8).isAutoRepeat);
    EXPECT_EQ(release(t, KEY_F8).type, Type::keyUp);
    EXPECT_FALSE(press(t, KEY_F8).isAutoRepeat) << "pressed again after its release";

    // Repeats that the server flags as such are repeats even when the press was missed.
    auto flagged = t.handle(KEY_J, true, true);
    ASSERT_TRUE(flagged);
    EXPECT_TRUE(flagged->isAutoRepeat);
}

TEST(LinuxKeyStateTracker, StartsFromKeysAlreadyDown) {
    LinuxKeyStateTracker t;
    t.reset({KEY_LEFTCTRL}, true);
    EXPECT_EQ(t.modifierFlags(), F::control | F::capsLock);
    // A modifier released that was never seen down changes nothing.
    EXPECT_FALSE(t.handle(KEY_RIGHTMETA, false));
    EXPECT_EQ(release(t, KEY_LEFTCTRL).modifierFlags, F::capsLock);
    // Unknown codes give nothing; keys without a virtual code still give events of their own.
    EXPECT_FALSE(t.handle(0, true));
    const auto print = press(t, KEY_SYSRQ);
    EXPECT_EQ(print.type, Type::keyDown);
    EXPECT_GE(print.keyCode, 0x8000);
}
