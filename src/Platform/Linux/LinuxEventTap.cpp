#include "Platform/Linux/LinuxEventTap.h"

#include "Platform/Linux/LinuxKeyCodeTable.h"
#include "Support/Logging.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace quillo {

namespace {
// An X error (a key code the server rejects, a window gone) must not end the process, which
// is what Xlib does by default.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// Whether a grab was refused (another client holds the same key).
bool grabRefused = false;
int noteGrabErrors(Display*, XErrorEvent* error) {
    if (error->error_code == BadAccess) grabRefused = true;
    return 0;
}
} // namespace

LinuxEventTap::LinuxEventTap(QObject* parent) : EventTap(parent) {}

LinuxEventTap::~LinuxEventTap() { destroy(); }

bool LinuxEventTap::create() {
    if (display_) return true;
    XSetErrorHandler(ignoreXErrors);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        qCCritical(lcInputMonitoring) << "No X display to listen to (DISPLAY unset or unreachable)";
        return false;
    }
    int event = 0, error = 0;
    // 2.2: raw events keep coming while a key is grabbed, by this client or another.
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &xiOpcode_, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success || major < 2) {
        qCCritical(lcInputMonitoring) << "The X server offers no XInput2; the keyboard cannot be observed";
        XCloseDisplay(display);
        return false;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask;
    // Master devices only: each key then arrives once, whichever keyboard (or XTest) sent it.
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof(bits);
    mask.mask = bits;
    if (XISelectEvents(display, DefaultRootWindow(display), &mask, 1) != Success) {
        XCloseDisplay(display);
        return false;
    }
    XSync(display, False);
    display_ = display;
    synchronizeKeyState();
    return true;
}

void LinuxEventTap::synchronizeKeyState() {
    char keys[32] = {};
    XQueryKeymap(display_, keys);
    QSet<quint32> down;
    for (int keycode = 8; keycode < 256; ++keycode)
        if (keys[keycode / 8] & (1 << (keycode % 8))) down.insert(static_cast<quint32>(keycode) - 8);
    XkbStateRec state{};
    bool capsLock = false;
    if (XkbGetState(display_, XkbUseCoreKbd, &state) == Success) capsLock = (state.locked_mods & LockMask) != 0;
    tracker_.reset(down, capsLock);
}

bool LinuxEventTap::attachToMainLoop() {
    if (!display_) return false;
    if (notifier_) return true;
    notifier_ = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &LinuxEventTap::processPendingEvents);
    // Events our own requests pulled into Xlib's queue are invisible to the notifier.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &LinuxEventTap::processPendingEvents,
                Qt::UniqueConnection);
    processPendingEvents();
    return true;
}

void LinuxEventTap::setEnabled(bool enabled) {
    if (enabled && !enabled_ && display_) {
        // Keys may have changed while nothing was delivered.
        processPendingEvents();
        synchronizeKeyState();
    }
    enabled_ = enabled && display_ != nullptr;
}

QList<unsigned int> LinuxEventTap::lockCombinations() const {
    QList<unsigned int> locks{LockMask};
    for (KeySym lock : {KeySym(XK_Num_Lock), KeySym(XK_Scroll_Lock)}) {
        const unsigned int mask = XkbKeysymToModifiers(display_, lock);
        if (mask != 0 && !locks.contains(mask)) locks.append(mask);
    }
    QList<unsigned int> combinations;
    for (unsigned int subset = 0; subset < (1u << locks.size()); ++subset) {
        unsigned int mask = 0;
        for (int bit = 0; bit < locks.size(); ++bit)
            if (subset & (1u << bit)) mask |= locks[bit];
        combinations.append(mask);
    }
    return combinations;
}

bool LinuxEventTap::grabKey(quint32 x11Keycode) {
    grabRefused = false;
    XSync(display_, False);
    XSetErrorHandler(noteGrabErrors);
    for (unsigned int mask : lockCombinations())
        XGrabKey(display_, static_cast<int>(x11Keycode), mask, DefaultRootWindow(display_), False, GrabModeAsync,
                 GrabModeAsync);
    XSync(display_, False);
    XSetErrorHandler(ignoreXErrors);
    if (!grabRefused) return true;
    ungrabKey(x11Keycode);
    return false;
}

void LinuxEventTap::ungrabKey(quint32 x11Keycode) {
    for (unsigned int mask : lockCombinations())
        XUngrabKey(display_, static_cast<int>(x11Keycode), mask, DefaultRootWindow(display_));
    XSync(display_, False);
}

bool LinuxEventTap::setConsumedKey(std::optional<quint16> virtualKeyCode) {
    if (virtualKeyCode == consumedKey_) return true;
    if (!display_) return !virtualKeyCode;
    if (consumedKey_) {
        if (const auto keycode = LinuxKeyCodeTable::x11Keycode(*consumedKey_)) ungrabKey(*keycode);
        consumedKey_.reset();
    }
    if (!virtualKeyCode) return true;
    // A modifier stays listen-only: grabbing it would break every shortcut made with it.
    const auto keycode = LinuxKeyCodeTable::x11Keycode(*virtualKeyCode);
    if (!keycode || LinuxKeyCodeTable::isModifier(*virtualKeyCode)) return false;
    if (!grabKey(*keycode)) {
        qCWarning(lcInputMonitoring) << "Another program holds the trigger key; it stays visible to applications";
        return false;
    }
    consumedKey_ = virtualKeyCode;
    return true;
}

void LinuxEventTap::destroy() {
    enabled_ = false;
    consumedKey_.reset(); // the grabs end with the connection
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        disconnect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &LinuxEventTap::processPendingEvents);
    delete notifier_;
    notifier_ = nullptr;
    if (display_) {
        XCloseDisplay(display_);
        display_ = nullptr;
    }
}

void LinuxEventTap::processPendingEvents() {
    if (!display_) return;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == KeyRelease) {
            // The grab of the consumed key delivers its release here instead of as a raw event;
            // without it the key would stay down, and its next press would count as a repeat.
            const auto key = LinuxKeyCodeTable::virtualKeyCodeFromX11(event.xkey.keycode);
            if (consumedKey_ && key == consumedKey_ && event.xkey.keycode >= 8)
                tracker_.handle(static_cast<quint32>(event.xkey.keycode) - 8, false, false);
            continue;
        }
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xiOpcode_ || !XGetEventData(display_, cookie))
            continue;
        if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            const bool pressed = cookie->evtype == XI_RawKeyPress;
            const bool repeat = (raw->flags & XIKeyRepeat) != 0;
            if (raw->detail >= 8) {
                // The key state is followed even while disabled, so flags are right afterwards.
                auto translated = tracker_.handle(static_cast<quint32>(raw->detail) - 8, pressed, repeat);
                const bool deliver = enabled_ && translated && !translated->isAutoRepeat &&
                                     (translated->type == KeyboardEvent::Type::keyDown ||
                                      translated->type == KeyboardEvent::Type::flagsChanged);
                if (deliver) {
                    if (translated->type == KeyboardEvent::Type::keyDown && charactersOfKey_)
                        translated->charactersIgnoringModifiers =
                            charactersOfKey_(translated->keyCode).value_or(QString());
                    XFreeEventData(display_, cookie);
                    emit keyEvent(*translated);
                    if (!display_) return; // a receiver destroyed the tap
                    continue;
                }
            }
        }
        XFreeEventData(display_, cookie);
    }
}

} // namespace quillo
