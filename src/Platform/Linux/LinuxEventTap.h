#pragma once

#include "Platform/EventTap.h"
#include "Platform/Linux/LinuxKeyStateTracker.h"

#include <functional>
#include <optional>

struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name for Display
class QSocketNotifier;

namespace quillo {

// The session-wide keyboard tap of an X11 session: XInput2 raw key events (XI_RawKeyPress,
// XI_RawKeyRelease) selected on the root window of a connection of its own, read on the main
// thread whenever that connection's socket is readable. Raw events are copies: nothing is
// grabbed, held or swallowed, and every application still gets every key, except the consumed
// key: a passive grab on the root window (for the key alone and with every combination of
// Caps Lock, Num Lock and Scroll Lock) makes the server hand it to this connection only.
//
// Auto-repeat is not a new press: repeated key-downs of a held key are not emitted.
class LinuxEventTap final : public EventTap {
    Q_OBJECT
public:
    using CharactersOfKey = std::function<std::optional<QString>(quint16 virtualKeyCode)>;

    explicit LinuxEventTap(QObject* parent = nullptr);
    ~LinuxEventTap() override;

    bool create() override;
    bool attachToMainLoop() override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void destroy() override;
    bool setConsumedKey(std::optional<quint16> virtualKeyCode) override;
    std::optional<quint16> consumedKey() const { return consumedKey_; }

    // Fills charactersIgnoringModifiers of key-down events (the keyboard layout's answer).
    void setCharactersOfKey(CharactersOfKey characters) { charactersOfKey_ = std::move(characters); }

    // Reads and handles whatever the X server has sent (the socket notifier calls it too).
    void processPendingEvents();

private:
    void synchronizeKeyState();
    // The modifier masks of the lock keys, in every combination (the empty one included).
    QList<unsigned int> lockCombinations() const;
    bool grabKey(quint32 x11Keycode);
    void ungrabKey(quint32 x11Keycode);

    _XDisplay* display_ = nullptr;
    int xiOpcode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    bool enabled_ = false;
    LinuxKeyStateTracker tracker_;
    CharactersOfKey charactersOfKey_;
    std::optional<quint16> consumedKey_;
};

} // namespace quillo
