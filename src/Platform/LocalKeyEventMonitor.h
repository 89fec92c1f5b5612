#pragma once

#include "Models/KeyboardEvent.h"

#include <functional>
#include <memory>

namespace quillo {

// Key events bound for this application's own windows (key-downs and modifier changes), seen
// before the focused widget gets them. A handler answers true to swallow the event. Used where a
// window listens for a key itself: trigger detection and the onboarding practice.
class LocalKeyEventMonitor {
public:
    using Handler = std::function<bool(const KeyboardEvent& event)>;

    // Removes its handler when destroyed.
    class Installation {
    public:
        virtual ~Installation() = default;
    };

    virtual ~LocalKeyEventMonitor() = default;

    // The newest installation sees an event first; once one swallows it, no other sees it.
    virtual std::unique_ptr<Installation> install(Handler handler) = 0;
};

} // namespace quillo
