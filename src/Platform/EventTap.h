#pragma once

#include "Models/KeyboardEvent.h"

#include <QObject>

namespace quillo {

// A listen-only tap on the whole session's keyboard. It never holds, swallows or alters an
// event; events arrive on the main thread through the signal.
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

signals:
    void keyEvent(const quillo::KeyboardEvent& event);
    // The desktop stopped delivering (too slow a consumer, or user input); the owner re-enables.
    void disabledByTimeout();
};

} // namespace quillo
