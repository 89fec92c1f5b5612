#pragma once

#include "Models/KeyboardEvent.h"

#include <QObject>
#include <optional>

namespace quillo {

// A tap on the whole session's keyboard. It listens only: it never holds, swallows or alters an
// event, except the one key it is asked to consume (a trigger that is an ordinary key, which
// must not reach the application too); events arrive on the main thread through the signal.
class EventTap : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~EventTap() override = default;

    // Starts listening for key-down and flags-changed events; false when the desktop refuses.
    virtual bool create() = 0;
    // Attaches the tap to the main thread's event loop; false when that fails.
    virtual bool attachToMainLoop() = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    // Detaches and releases the tap; safe to call when it was never created.
    virtual void destroy() = 0;
    // The key (virtual key code, pressed with no modifier but the locks) that the desktop then
    // delivers to this tap alone; none to consume nothing. False when the desktop refused, in
    // which case the key is still seen, and still reaches the application.
    virtual bool setConsumedKey(std::optional<quint16> virtualKeyCode) { return !virtualKeyCode.has_value(); }

signals:
    void keyEvent(const quillo::KeyboardEvent& event);
    // The desktop stopped delivering (too slow a consumer, or user input); the owner re-enables.
    void disabledByTimeout();
};

} // namespace quillo
