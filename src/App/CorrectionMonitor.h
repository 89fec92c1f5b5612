#pragma once

#include <functional>

namespace quillo {

// The correction service as the shell turns it on and off.
class CorrectionMonitor {
public:
    virtual ~CorrectionMonitor() = default;
    virtual bool startMonitoring() = 0;
    virtual void stopMonitoring() = 0;
    virtual bool isMonitoring() const = 0;
    // A trigger from `quillo --trigger`; false when it was ignored.
    virtual bool handleTriggerCommand() { return false; }

    // Taking back the last correction; a monitor without undo never offers it.
    virtual bool canUndoLastCorrection() const { return false; }
    virtual void undoLastCorrection() {}
    // `handler` hears every change of whether undo is offered.
    virtual void setUndoAvailabilityHandler(const std::function<void(bool)>& /*handler*/) {}
};

} // namespace quillo
