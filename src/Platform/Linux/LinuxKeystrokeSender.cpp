#include "Platform/Linux/LinuxKeystrokeSender.h"

#include "Models/ModifierFlags.h"
#include "Platform/Linux/LinuxKeyCodeTable.h"
#include "Support/Logging.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace quillo {

namespace {
// An X error (a key code the server rejects, a window gone) must not end the process, which
// is what Xlib does by default.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }
} // namespace

namespace {

struct ModifierKey {
    quint64 flag;
    KeySym keysym;
    quint32 fallbackEvdev; // when the keymap has no such keysym
};

constexpr ModifierKey modifierKeys[] = {
    {ModifierFlags::control, XK_Control_L, 29},
    {ModifierFlags::shift, XK_Shift_L, 42},
    {ModifierFlags::option, XK_Alt_L, 56},
    {ModifierFlags::command, XK_Super_L, 125},
};

bool isLockKey(Display* display, KeyCode keycode) {
    const KeySym sym = XkbKeycodeToKeysym(display, keycode, 0, 0);
    return sym == XK_Caps_Lock || sym == XK_Num_Lock || sym == XK_Shift_Lock || sym == XK_Scroll_Lock;
}

} // namespace

LinuxKeystrokeSender::LinuxKeystrokeSender() {
    XSetErrorHandler(ignoreXErrors);
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        qCCritical(lcTextInsertion) << "No X display for synthetic keys";
        return;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    xtest_ = XTestQueryExtension(display_, &event, &error, &major, &minor);
    if (!xtest_) qCCritical(lcTextInsertion) << "The X server offers no XTest; synthetic keys cannot be sent";
}

LinuxKeystrokeSender::~LinuxKeystrokeSender() {
    if (!display_) return;
    releaseOurModifiers();
    XSync(display_, False);
    XCloseDisplay(display_);
}

bool LinuxKeystrokeSender::isAvailable() const { return display_ && xtest_; }

QList<quint32> LinuxKeystrokeSender::heldModifierKeycodes() const {
    QList<quint32> held;
    if (!display_) return held;
    char keys[32] = {};
    XQueryKeymap(display_, keys);
    XModifierKeymap* map = XGetModifierMapping(display_);
    if (!map) return held;
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
        const KeyCode keycode = map->modifiermap[i];
        if (keycode == 0 || held.contains(keycode)) continue;
        if (!(keys[keycode / 8] & (1 << (keycode % 8)))) continue;
        if (isLockKey(display_, keycode)) continue;
        held.append(keycode);
    }
    XFreeModifiermap(map);
    return held;
}

void LinuxKeystrokeSender::releaseOurModifiers() {
    // NOLINTNEXTLINE(modernize-loop-convert): clang 14 cannot parse libstdc++ 12's reverse views
    for (auto it = pressedByUs_.crbegin(); it != pressedByUs_.crend(); ++it)
        XTestFakeKeyEvent(display_, *it, False, CurrentTime);
    pressedByUs_.clear();
}

bool LinuxKeystrokeSender::post(const SyntheticKeystroke& keystroke) {
    if (!isAvailable()) return false;
    const auto keycode = LinuxKeyCodeTable::x11Keycode(keystroke.keyCode);
    if (!keycode) return false;

    if (keystroke.keyDown) {
        releaseOurModifiers();
        // The user's own held modifiers would turn the shortcut into another one.
        for (quint32 held : heldModifierKeycodes()) XTestFakeKeyEvent(display_, held, False, CurrentTime);
        for (const auto& modifier : modifierKeys) {
            if (!(keystroke.modifierFlags & modifier.flag)) continue;
            KeyCode code = XKeysymToKeycode(display_, modifier.keysym);
            if (code == 0) code = static_cast<KeyCode>(modifier.fallbackEvdev + LinuxKeyCodeTable::x11KeycodeOffset);
            if (!XTestFakeKeyEvent(display_, code, True, CurrentTime)) {
                releaseOurModifiers();
                XSync(display_, False);
                return false;
            }
            pressedByUs_.append(code);
        }
        const bool sent = XTestFakeKeyEvent(display_, *keycode, True, CurrentTime);
        if (!sent) releaseOurModifiers();
        XSync(display_, False);
        return sent;
    }

    const bool sent = XTestFakeKeyEvent(display_, *keycode, False, CurrentTime);
    releaseOurModifiers();
    XSync(display_, False);
    return sent;
}

} // namespace quillo
